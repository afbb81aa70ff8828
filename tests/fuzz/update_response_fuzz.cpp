// The update server's answer to the update check.

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/url_scheme.h"
#include "update/update_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string response(reinterpret_cast<const char*>(data), size);
    static const update::UpdateSettings settings{"http://127.0.0.1:2406", ""};
    update::UpdateOffer offer;
    const update::CheckResult result = update::ReadUpdateResponse(response, settings, offer);
    const bool offered = result.kind == update::CheckOutcome::Offered;
    // An offer fills both the location and the version, anything else neither,
    // and only an offer has a signature.
    if (offer.downloadUrl.empty() == offered || offer.remoteVersion.empty() == offered) {
      __builtin_trap();
    }
    if (!offered && !offer.signature.empty()) __builtin_trap();
    // Whatever the answer says, nothing but http(s) is ever offered.
    if (offered && !comm::http::IsHttpUrl(offer.downloadUrl)) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

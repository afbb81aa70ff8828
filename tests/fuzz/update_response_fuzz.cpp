// The update server's answer to the update check.

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/transfer_policy.h"
#include "update/update_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string response(reinterpret_cast<const char*>(data), size);
    std::string downloadUrl;
    std::string remoteVersion;
    update::ParseUpdateResponse(response, downloadUrl, remoteVersion);
    // An offer sets both outputs, anything else neither.
    if (downloadUrl.empty() != remoteVersion.empty()) __builtin_trap();
    // The offer's form says the same, and has a signature only with an offer.
    update::UpdateOffer offer;
    update::ParseUpdateResponse(response, offer);
    if (offer.downloadUrl != downloadUrl || offer.remoteVersion != remoteVersion) __builtin_trap();
    if (downloadUrl.empty() && !offer.signature.empty()) __builtin_trap();
    // Whatever the answer says, nothing but http(s) is ever offered.
    if (!downloadUrl.empty() && !comm::http::IsHttpUrl(downloadUrl)) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

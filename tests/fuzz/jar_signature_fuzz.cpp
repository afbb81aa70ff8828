// Signature texts of any shape, as an update server may send them: the check
// must refuse what it cannot read, and Base64 is read one way only.

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/base64.h"
#include "update/offer_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Whatever decodes is the one text its bytes encode to.
    std::string bytes;
    if (update::Base64Decode(text, bytes)) {
      const std::string again = update::Base64Encode(
          reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
      if (again != text) __builtin_trap();
    }

    // A key is built in (RFC 8032's first test key); nobody holds its
    // private half's signature of this offer, so nothing verifies.
    static const update::UpdateSettings settings{"",
                                                 "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo="};
    const std::string offer = update::OfferSignedText("2.0.0", 1, std::string(64, '0'));
    const update::SignatureVerdict verdict = update::VerifyOfferSignature(settings, offer, text);
    const bool wellFormed =
        !text.empty() && update::Base64Decode(text, bytes) && bytes.size() == 64;
    const update::SignatureVerdict expected =
        text.empty() ? update::SignatureVerdict::Missing
                     : (wellFormed ? update::SignatureVerdict::Mismatch
                                   : update::SignatureVerdict::Malformed);
    if (verdict != expected) __builtin_trap();

    // Any text as a list of keys: either refused whole or every key 32 bytes
    // and of large order.
    if (const auto keys = update::ParseSigningKeys(text)) {
      for (const std::string& key : *keys) {
        if (key.size() != 32 || update::IsSmallOrderKey(key)) __builtin_trap();
      }
    }
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

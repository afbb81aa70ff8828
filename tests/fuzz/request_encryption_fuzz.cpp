// Key texts of any shape: a build may be configured with any key option, and
// the encryption must fail cleanly on whatever it cannot read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/request_encryption.h"

namespace {

constexpr std::string_view kHeader = "-----BEGIN PUBLIC KEY-----\n";
constexpr std::string_view kFooter = "\n-----END PUBLIC KEY-----\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string pem = input;
    update::FormatPemPublicKey(pem);
    if (!std::string_view(pem).starts_with(kHeader) || !std::string_view(pem).ends_with(kFooter))
      __builtin_trap();

    std::string key = input;
    const std::string cipher = update::EncryptWithPublicKey("v2.3.1", key);
    if (key != pem) __builtin_trap();
    if (cipher.find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") !=
        std::string::npos)
      __builtin_trap();

    // A plaintext longer than any block a key of this size could take.
    std::string again = input;
    if (!update::EncryptWithPublicKey(std::string(2048, 'v'), again).empty()) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

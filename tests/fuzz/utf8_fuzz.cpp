// UTF-8 from the network and from host names: the strict decoder either gives
// what the replacing one gives or nothing, and neither throws.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "unicode/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const std::optional<std::wstring> strict = unicode::DecodeUtf8(bytes);
    const std::wstring replacing = unicode::DecodeUtf8Replacing(bytes);
    // Where strict decoding succeeds there is nothing to replace.
    if (strict && *strict != replacing) __builtin_trap();
    // Back to UTF-8 and in again gives the same characters, with lone
    // surrogates (which the decoder lets through as written) replaced.
    std::wstring expected = replacing;
    for (wchar_t& c : expected) {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    }
    if (unicode::DecodeUtf8(unicode::EncodeUtf8(replacing)) != expected) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

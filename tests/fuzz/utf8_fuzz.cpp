// UTF-8 from the network: the strict decoder may refuse with std::range_error
// and nothing else; the replacing one never refuses.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "text/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::optional<std::wstring> strict;
  try {
    strict = Utf8ToWide(bytes);
  } catch (const std::range_error&) {
  } catch (...) {
    __builtin_trap();
  }
  try {
    const std::wstring replacing = Utf8ToWideReplacing(bytes);
    // Where strict decoding succeeds there is nothing to replace.
    if (strict && *strict != replacing) __builtin_trap();
    // Back to UTF-8 and in again gives the same characters, with lone
    // surrogates (which overlong-tolerant decoding lets through) replaced.
    std::wstring expected = replacing;
    for (wchar_t& c : expected) {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    }
    if (Utf8ToWide(WideToUtf8(replacing)) != expected) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

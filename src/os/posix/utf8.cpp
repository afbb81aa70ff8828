// Native backend: lenient UTF-8 for host paths; bad bytes become U+FFFD.
#include "os/posix/utf8.h"

#include "os/utf8_encode.h"

#include <cstdint>

namespace os::posix {

std::string WideToUtf8(const std::wstring& wide) {
  return EncodeUtf8(wide);
}

std::wstring Utf8ToWideLenient(const std::string& utf8) {
  std::wstring out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto b = static_cast<unsigned char>(utf8[i]);
    int extra = b < 0x80 ? 0 : b >= 0xF5 ? -1 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
    std::uint32_t c = extra > 0 ? b & (0x3F >> extra) : b;
    bool ok = extra >= 0 && i + extra < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto cb = static_cast<unsigned char>(utf8[i + k]);
      ok = (cb & 0xC0) == 0x80;
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += extra + 1;
  }
  return out;
}

}  // namespace os::posix

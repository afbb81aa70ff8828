// Windows backend of the console service: the line as UTF-8 bytes on stdout.
#include "os/console.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace os {

void WriteProgressLine(const std::wstring& line) {
  if (line.empty()) return;
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr,
                                    0, nullptr, nullptr);
  if (bytes <= 0) return;
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), bytes,
                        nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace os

// Windows backend of the code-page service: MultiByteToWideChar / WideCharToMultiByte on CP_ACP.
#include "os/codepage.h"

#include <windows.h>

namespace os {

// Both pass -1 as the input length: the system reads up to the first NUL and
// counts the terminator, which the second call writes and the result drops.

std::wstring AnsiToWide(const std::string& ansi) {
  int units = ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), units) != units) return {};
  wide.pop_back();
  return wide;
}

std::string WideToAnsi(const std::wstring& wide) {
  int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), bytes, nullptr, nullptr) !=
      bytes) {
    return {};
  }
  ansi.pop_back();
  return ansi;
}

}  // namespace os

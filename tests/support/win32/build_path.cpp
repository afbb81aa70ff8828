// Win32 test helper: build paths as the Windows program must spell them.
#include "support/win32/build_path.h"

#include <windows.h>

#include <vector>

namespace testing_support::win32 {

std::wstring BuildPath(const char* path) {
  std::string text = path;
  if (!text.empty() && text[0] == '/') text = "Z:" + text;
  int units = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 1), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), units);
  wide.resize(wide.size() - 1);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

std::wstring ProgramUnderTest(const char* builtPath) {
  DWORD units = ::GetEnvironmentVariableW(L"WARDKEEP_PROGRAM_UNDER_TEST", nullptr, 0);
  if (units <= 1) return BuildPath(builtPath);
  std::vector<wchar_t> buffer(units);
  ::GetEnvironmentVariableW(L"WARDKEEP_PROGRAM_UNDER_TEST", buffer.data(), units);
  std::wstring path(buffer.data());
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

}  // namespace testing_support::win32

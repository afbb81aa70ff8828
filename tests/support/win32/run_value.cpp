// Win32 test helper: a value of the Run key, the program's own by default.
#include "support/win32/run_value.h"

namespace testing_support::win32 {
namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

RunValue ReadRunValue(const std::wstring& name) {
  RunValue value;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  wchar_t buffer[1024] = {};
  value.bytes = sizeof buffer;
  value.found = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                                   reinterpret_cast<BYTE*>(buffer), &value.bytes) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  if (value.found) value.data.assign(buffer, value.bytes / sizeof(wchar_t));
  return value;
}

void DeleteRunValue(const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, name.c_str());
    ::RegCloseKey(key);
  }
}

}  // namespace testing_support::win32

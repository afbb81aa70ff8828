// Windows backend of the machine values: REG_SZ values of one key under
// HKEY_LOCAL_MACHINE, which only administrators may create and write. The
// 64-bit view, whatever the program's own.
#include <windows.h>

#include <vector>

#include "os/machine_values.h"
#include "os/machine_values_rules.h"
#include "os/win32/scoped_handle.h"

namespace os {

namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Wardkeep";

}  // namespace

MachineValue ReadMachineValue(const std::wstring& name) {
  if (!IsMachineValueName(name)) return {MachineValueStatus::Failed, {}};
  win32::RegistryKey key;
  const LSTATUS opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0,
                                         KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Receive());
  if (opened == ERROR_FILE_NOT_FOUND) return {MachineValueStatus::Absent, {}};
  if (opened != ERROR_SUCCESS) return {MachineValueStatus::Failed, {}};
  DWORD type = 0;
  std::vector<wchar_t> buffer(kMaxMachineValueLength + 2, L'\0');
  DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  const LSTATUS queried = ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (queried == ERROR_FILE_NOT_FOUND) return {MachineValueStatus::Absent, {}};
  if (queried != ERROR_SUCCESS || type != REG_SZ) return {MachineValueStatus::Failed, {}};
  // The stored text may or may not end with its terminator.
  std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  if (!IsMachineValueText(value)) return {MachineValueStatus::Failed, {}};
  return {MachineValueStatus::Found, value};
}

bool WriteMachineValue(const std::wstring& name, const std::wstring& value) {
  if (!IsMachineValueName(name) || !IsMachineValueText(value)) return false;
  win32::RegistryKey key;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS &&
         ::RegFlushKey(key.Get()) == ERROR_SUCCESS;
}

std::wstring MachineValuesPlace() {
  return L"HKLM\\SOFTWARE\\Wardkeep";
}

}  // namespace os

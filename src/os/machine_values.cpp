#include "os/machine_values.h"

#include "os/machine_values_rules.h"

namespace os {

bool IsMachineValueName(const std::wstring& name) {
  if (name.empty()) return false;
  for (wchar_t c : name) {
    if (!((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9'))) {
      return false;
    }
  }
  return true;
}

bool IsMachineValueText(const std::wstring& value) {
  for (wchar_t c : value) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return value.size() <= kMaxMachineValueLength;
}

}  // namespace os

// Windows: values under HKLM\SOFTWARE\Policies\Wardkeep, the key deleted after.
#include "support/machine_policy.h"

#include <windows.h>

namespace testing_support {
namespace {

constexpr const wchar_t* kPolicyKey = L"SOFTWARE\\Policies\\Wardkeep";

}  // namespace

struct MachinePolicy::State {};

MachinePolicy::MachinePolicy() : m_state(std::make_unique<State>()) {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicyKey);
}

MachinePolicy::~MachinePolicy() {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicyKey);
}

bool MachinePolicy::SetText(const std::wstring& name, const std::wstring& value) {
  return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

bool MachinePolicy::SetNumber(const std::wstring& name, std::uint32_t value) {
  DWORD number = value;
  return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name.c_str(), REG_DWORD, &number,
                           sizeof number) == ERROR_SUCCESS;
}

}  // namespace testing_support

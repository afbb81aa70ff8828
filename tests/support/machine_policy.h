#pragma once
// The machine's administrator policies for a test's scope: the values under
// HKLM\SOFTWARE\Policies\Wardkeep on Windows; natively a root-owned policy file
// of the test's own that $WARDKEEP_POLICY_FILE names. Gone when the test ends.

#include <cstdint>
#include <memory>
#include <string>

namespace testing_support {

class MachinePolicy {
 public:
  MachinePolicy();
  ~MachinePolicy();
  MachinePolicy(const MachinePolicy&) = delete;
  MachinePolicy& operator=(const MachinePolicy&) = delete;

  // False when the place cannot be written (natively: not running as root, so
  // the file cannot be root's).
  bool SetText(const std::wstring& name, const std::wstring& value);
  bool SetNumber(const std::wstring& name, std::uint32_t value);

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace testing_support

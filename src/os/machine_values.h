#pragma once
// A few named texts kept for the whole machine, where only administrators can
// write them: on Windows REG_SZ values under HKLM\SOFTWARE\Wardkeep; natively
// "name=value" lines in the file "state" of /var/lib/wardkeep (the directory
// WARDKEEP_STATE_DIR names instead, when set), which must be root's and
// writable by nobody else.

#include <string>

namespace os {

enum class MachineValueStatus {
  Found,
  Absent,     // never written
  Untrusted,  // the place is not the administrators' alone: nothing is read
  Failed,     // could not be read
};

struct MachineValue {
  MachineValueStatus status = MachineValueStatus::Failed;
  std::wstring value;
};

// `name` is letters and digits; a value is one line of printable text.
MachineValue ReadMachineValue(const std::wstring& name);
// Creates the place when it is missing; keeps the other values. False when
// the name or the value cannot be kept, or the write failed.
bool WriteMachineValue(const std::wstring& name, const std::wstring& value);

// Where the values live, for messages.
std::wstring MachineValuesPlace();

}  // namespace os

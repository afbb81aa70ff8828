#pragma once
// What both backends of the machine values accept.

#include <cstddef>
#include <string>

namespace os {

constexpr std::size_t kMaxMachineValueLength = 1024;

bool IsMachineValueName(const std::wstring& name);
// One line: no control characters, at most kMaxMachineValueLength characters.
bool IsMachineValueText(const std::wstring& value);

}  // namespace os

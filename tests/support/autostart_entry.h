#pragma once
// The autostart entry the program writes, read and removed from outside it:
// the Run value on Windows, the XDG desktop entry natively.

#include <string>

namespace testing_support {

// The command line the entry runs at log-on, UTF-8: the Run value's text, or
// the desktop entry's Exec value with its string escapes undone (its quoting
// kept). Empty when there is no entry.
std::string AutostartCommand(const std::wstring& entryName);

void RemoveAutostartEntry(const std::wstring& entryName);

}  // namespace testing_support

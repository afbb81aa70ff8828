#pragma once
// The system's ANSI code page, for narrow local paths and names.

#include <string>

namespace text {

// Reads up to the first NUL; empty when the system cannot convert.
std::wstring AnsiToWide(const std::string& ansi);
// Reads up to the first NUL; characters missing from the code page become the
// system's default character.
std::string WideToAnsi(const std::wstring& wide);

}  // namespace text

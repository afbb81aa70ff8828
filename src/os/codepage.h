#pragma once
// Conversions between the system's ANSI code page and wide text. Both read the
// input up to its first NUL and substitute characters the target cannot hold;
// the result is empty when the system cannot convert.

#include <string>

namespace os {

std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(const std::wstring& wide);

}  // namespace os

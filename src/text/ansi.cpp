#include "text/ansi.h"

#include <vector>

#include "os/codepage.h"

std::wstring AnsiToWide(const std::string& ansi) {
  // Ask for the length first, then convert into a zeroed buffer one unit
  // larger, so the result always ends in NUL even when the system writes none.
  int units = os::AnsiToWideUnits(ansi.c_str(), nullptr, 0);
  std::vector<wchar_t> buffer(static_cast<std::size_t>(units > 0 ? units : 0) + 1, L'\0');
  if (units > 0) os::AnsiToWideUnits(ansi.c_str(), buffer.data(), units);
  return std::wstring(buffer.data());
}

std::string WideToAnsi(const std::wstring& wide) {
  int bytes = os::WideToAnsiBytes(wide.c_str(), nullptr, 0);
  if (bytes <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(bytes) + 1, '\0');
  os::WideToAnsiBytes(wide.c_str(), buffer.data(), bytes);
  return std::string(buffer.data());
}

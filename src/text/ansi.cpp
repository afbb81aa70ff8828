#include "text/ansi.h"

#include "os/codepage.h"

namespace text {

std::wstring AnsiToWide(const std::string& ansi) {
  return os::AnsiToWide(ansi);
}

std::string WideToAnsi(const std::wstring& wide) {
  return os::WideToAnsi(wide);
}

}  // namespace text

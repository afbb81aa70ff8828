// Progress lines, the same on every target: the C library's standard output
// takes bytes as they are, so no backend has anything to translate.
#include "os/console.h"

#include <cstdio>
#include <string>

#include "unicode/utf8.h"

namespace os {

void WriteProgressLine(const std::wstring& line) {
  if (line.empty()) return;
  const std::string utf8 = unicode::EncodeUtf8(line);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace os

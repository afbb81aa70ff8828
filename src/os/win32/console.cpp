// Windows backend of the console service: the line as UTF-8 bytes on stdout.
#include "os/console.h"

#include <cstdio>
#include <string>

#include "unicode/utf8.h"

namespace os {

void WriteProgressLine(const std::wstring& line) {
  if (line.empty()) return;
  std::string utf8 = unicode::EncodeUtf8(line);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace os

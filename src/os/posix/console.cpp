// Native backend of the console service: UTF-8 lines on stdout.
#include "os/console.h"

#include <cstdio>

#include "unicode/utf8.h"

namespace os {

void WriteProgressLine(const std::wstring& line) {
  std::string bytes = unicode::EncodeUtf8(line);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

}  // namespace os

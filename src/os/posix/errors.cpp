// Native backend of the error text: errno and strerror_r.
#include "os/errors.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "unicode/utf8.h"

namespace os {

Error LastError() {
  const int code = errno;
  if (code == 0) return {};
  char buffer[256] = {};
  // The GNU form returns the text, which may or may not be the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return {code, unicode::DecodeUtf8Replacing(text) + L" (" + std::to_wstring(code) + L")"};
}

void ClearLastError() {
  errno = 0;
}

LastErrorKeeper::LastErrorKeeper() : m_code(errno) {}

LastErrorKeeper::~LastErrorKeeper() {
  errno = static_cast<int>(m_code);
}

}  // namespace os

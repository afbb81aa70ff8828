// Native backend of the code-page service: iconv between the locale's codeset
// (the host's "ANSI" code page) and wchar_t.
#include "os/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <string>

namespace os {
namespace {

// wchar_t is UTF-32 in the host's byte order on Linux.
constexpr const char* kWideCharset = "WCHAR_T";

class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Converter() {
    if (IsValid()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool IsValid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return m_cd; }

 private:
  iconv_t m_cd;
};

// Converts all of `in`, putting `substitute` (already in the target encoding)
// in place of each unit that cannot be converted, like the platform does.
bool ConvertAll(const char* to, const char* from, const char* in, std::size_t inBytes,
                std::size_t unitBytes, const std::string& substitute, std::string& out) {
  Converter cv(to, from);
  if (!cv.IsValid()) return false;
  char* src = const_cast<char*>(in);
  std::size_t left = inBytes;
  char buffer[256];
  while (left > 0) {
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    std::size_t rc = iconv(cv.Get(), &src, &left, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno == EILSEQ || errno == EINVAL) {
      out += substitute;
      std::size_t skip = left < unitBytes ? left : unitBytes;
      src += skip;
      left -= skip;
      iconv(cv.Get(), nullptr, nullptr, nullptr, nullptr);
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

std::wstring AnsiToWide(const std::string& ansi) {
  std::string bytes;
  wchar_t replacement = L'\xFFFD';
  std::string substitute(reinterpret_cast<const char*>(&replacement), sizeof replacement);
  if (!ConvertAll(kWideCharset, nl_langinfo(CODESET), ansi.c_str(), std::strlen(ansi.c_str()), 1,
                  substitute, bytes)) {
    return {};
  }
  std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
  return wide;
}

std::string WideToAnsi(const std::wstring& wide) {
  std::string bytes;
  if (!ConvertAll(nl_langinfo(CODESET), kWideCharset, reinterpret_cast<const char*>(wide.c_str()),
                  std::wcslen(wide.c_str()) * sizeof(wchar_t), sizeof(wchar_t), "?", bytes)) {
    return {};
  }
  return bytes;
}

}  // namespace os

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
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts all of `in`, putting `substitute` (already in the target encoding)
// in place of each unit that cannot be converted, like the platform does.
bool ConvertAll(const char* to, const char* from, const char* in, std::size_t inBytes,
                std::size_t unitBytes, const std::string& substitute, std::string& out) {
  Converter cv(to, from);
  if (!cv.valid()) return false;
  char* src = const_cast<char*>(in);
  std::size_t left = inBytes;
  char buffer[256];
  while (left > 0) {
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    std::size_t rc = iconv(cv.get(), &src, &left, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno == EILSEQ || errno == EINVAL) {
      out += substitute;
      std::size_t skip = left < unitBytes ? left : unitBytes;
      src += skip;
      left -= skip;
      iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

int AnsiToWideUnits(const char* ansi, wchar_t* out, int outUnits) {
  if (ansi == nullptr) return 0;
  std::string bytes;
  wchar_t replacement = L'\xFFFD';
  std::string substitute(reinterpret_cast<const char*>(&replacement), sizeof replacement);
  if (!ConvertAll(kWideCharset, nl_langinfo(CODESET), ansi, std::strlen(ansi), 1, substitute,
                  bytes)) {
    return 0;
  }
  std::size_t units = bytes.size() / sizeof(wchar_t) + 1;
  if (out == nullptr || outUnits <= 0) return static_cast<int>(units);
  if (units > static_cast<std::size_t>(outUnits)) return 0;
  std::memcpy(out, bytes.data(), bytes.size());
  out[units - 1] = L'\0';
  return static_cast<int>(units);
}

int WideToAnsiBytes(const wchar_t* wide, char* out, int outBytes) {
  if (wide == nullptr) return 0;
  std::string bytes;
  if (!ConvertAll(nl_langinfo(CODESET), kWideCharset, reinterpret_cast<const char*>(wide),
                  std::wcslen(wide) * sizeof(wchar_t), sizeof(wchar_t), "?", bytes)) {
    return 0;
  }
  std::size_t count = bytes.size() + 1;
  if (out == nullptr || outBytes <= 0) return static_cast<int>(count);
  if (count > static_cast<std::size_t>(outBytes)) return 0;
  std::memcpy(out, bytes.data(), bytes.size());
  out[count - 1] = '\0';
  return static_cast<int>(count);
}

}  // namespace os

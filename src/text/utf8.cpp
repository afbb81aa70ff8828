#include "text/utf8.h"

#include <cstdint>
#include <stdexcept>

#include "os/utf8_encode.h"

namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

// Appends one code point; characters beyond 16 bits need a surrogate pair where
// wchar_t is 16 bits wide.
void AppendCodePoint(std::wstring& out, std::uint32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c > 0xFFFF) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(c);
}

// Number of continuation bytes a lead byte announces; -1 for a byte that
// cannot begin a sequence. The obsolete five- and six-byte forms are decoded
// the same way and then refused by the range check.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead < 0xC0) return -1;
  if (lead < 0xE0) return 1;
  if (lead < 0xF0) return 2;
  if (lead < 0xF8) return 3;
  if (lead < 0xFC) return 4;
  if (lead < 0xFE) return 5;
  return -1;
}

// Decodes the sequence at `pos`; false when it is malformed. On success `pos`
// is moved behind it.
bool DecodeOne(const std::string& in, std::size_t& pos, std::uint32_t& value) {
  auto lead = static_cast<unsigned char>(in[pos]);
  int extra = ContinuationCount(lead);
  if (extra < 0 || in.size() - pos - 1 < static_cast<std::size_t>(extra)) return false;
  std::uint64_t c = extra == 0 ? lead : lead & (0x7F >> (extra + 1));
  for (int k = 1; k <= extra; ++k) {
    auto next = static_cast<unsigned char>(in[pos + k]);
    if (next < 0x80 || next > 0xBF) return false;
    c = (c << 6) | (next & 0x3F);
  }
  if (c > 0x10FFFF) return false;
  value = static_cast<std::uint32_t>(c);
  pos += static_cast<std::size_t>(extra) + 1;
  return true;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::uint32_t c = 0;
    if (!DecodeOne(utf8, pos, c)) throw std::range_error("bad conversion");
    AppendCodePoint(out, c);
  }
  return out;
}

std::wstring Utf8ToWideReplacing(const std::string& utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::uint32_t c = 0;
    if (DecodeOne(utf8, pos, c)) {
      AppendCodePoint(out, c);
    } else {
      AppendCodePoint(out, kReplacement);
      ++pos;
    }
  }
  return out;
}

std::string WideToUtf8(const std::wstring& wide) {
  return os::EncodeUtf8(wide);
}

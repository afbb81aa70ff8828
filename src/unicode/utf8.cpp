#include "unicode/utf8.h"

#include <cstdint>

namespace unicode {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;
constexpr std::uint32_t kLast = 0x10FFFF;

bool IsSurrogate(std::uint32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

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
// cannot begin a sequence. The obsolete five- and six-byte forms are read the
// same way and then refused by the range check.
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

// Decodes the sequence at `pos` and moves `pos` behind it; false, with `pos`
// unchanged, when it is malformed.
bool DecodeOne(std::string_view in, std::size_t& pos, std::uint32_t& value, Utf8Rules rules) {
  auto lead = static_cast<unsigned char>(in[pos]);
  int extra = ContinuationCount(lead);
  if (extra < 0 || in.size() - pos - 1 < static_cast<std::size_t>(extra)) return false;
  if (rules == Utf8Rules::Shortest && extra > 3) return false;
  // Six bytes carry up to 31 bits: wide enough that nothing wraps before the range check.
  std::uint64_t c = extra == 0 ? lead : lead & (0x7F >> (extra + 1));
  for (int k = 1; k <= extra; ++k) {
    auto next = static_cast<unsigned char>(in[pos + k]);
    if (next < 0x80 || next > 0xBF) return false;
    c = (c << 6) | (next & 0x3F);
  }
  if (c > kLast) return false;
  if (rules == Utf8Rules::Shortest) {
    static constexpr std::uint64_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || IsSurrogate(static_cast<std::uint32_t>(c))) return false;
  }
  value = static_cast<std::uint32_t>(c);
  pos += static_cast<std::size_t>(extra) + 1;
  return true;
}

// All of `in`; a malformed byte becomes U+FFFD when `replacing`, and otherwise
// leaves nothing.
std::optional<std::wstring> Decode(std::string_view in, bool replacing, Utf8Rules rules) {
  std::wstring out;
  out.reserve(in.size());
  std::size_t pos = 0;
  while (pos < in.size()) {
    std::uint32_t c = 0;
    if (!DecodeOne(in, pos, c, rules)) {
      if (!replacing) return std::nullopt;
      c = kReplacement;
      ++pos;
    }
    AppendCodePoint(out, c);
  }
  return out;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::optional<std::wstring> DecodeUtf8(std::string_view utf8) {
  return Decode(utf8, false, Utf8Rules::Lenient);
}

bool IsUtf8(std::string_view utf8, Utf8Rules rules) {
  std::size_t pos = 0;
  std::uint32_t c = 0;
  while (pos < utf8.size()) {
    if (!DecodeOne(utf8, pos, c, rules)) return false;
  }
  return true;
}

std::wstring DecodeUtf8Replacing(std::string_view utf8, Utf8Rules rules) {
  return *Decode(utf8, true, rules);
}

std::string EncodeUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    auto c = static_cast<std::uint32_t>(wide[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(wide[++i]) - 0xDC00);
      }
    }
    AppendUtf8(out, IsSurrogate(c) || c > kLast ? kReplacement : c);
  }
  return out;
}

}  // namespace unicode

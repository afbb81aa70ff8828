#include "update/base64.h"

#include <utility>

namespace update {

std::string Base64Encode(const unsigned char* bytes, int length) {
  std::string text;
  if (bytes == nullptr || length <= 0) return text;
  text.reserve((static_cast<std::size_t>(length) + 2) / 3 * 4);

  int i = 0;
  for (; i + 3 <= length; i += 3) {
    const unsigned b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
    text += Base64Alphabet[b0 >> 2];
    text += Base64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    text += Base64Alphabet[((b1 & 15) << 2) | (b2 >> 6)];
    text += Base64Alphabet[b2 & 63];
  }

  const int rest = length - i;
  if (rest > 0) {
    const unsigned b0 = bytes[i];
    const unsigned b1 = rest == 2 ? bytes[i + 1] : 0;
    text += Base64Alphabet[b0 >> 2];
    text += Base64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    text += rest == 2 ? Base64Alphabet[(b1 & 15) << 2] : '=';
    text += '=';
  }
  return text;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  if (text.empty() || text.size() % 4 != 0) return false;
  std::size_t padding = 0;
  while (padding < 2 && text[text.size() - 1 - padding] == '=') ++padding;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  unsigned bits = 0;
  int held = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const std::size_t value = Base64Alphabet.find(text[i]);
    if (value == std::string_view::npos) return false;
    bits = (bits << 6) | static_cast<unsigned>(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out += static_cast<char>((bits >> held) & 0xFF);
    }
  }
  // What is left over must be the zero bits that padding implies.
  if ((bits & ((1u << held) - 1)) != 0) return false;
  bytes = std::move(out);
  return true;
}

}  // namespace update

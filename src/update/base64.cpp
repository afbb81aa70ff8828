#include "update/base64.h"

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

}  // namespace update

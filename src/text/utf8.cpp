#include "text/utf8.h"

#include "unicode/utf8.h"

namespace text {

std::wstring Utf8ToWideReplacing(const std::string& utf8) {
  return unicode::DecodeUtf8Replacing(utf8);
}

std::string WideToUtf8(const std::wstring& wide) {
  return unicode::EncodeUtf8(wide);
}

}  // namespace text

#include "text/utf8.h"

#include <stdexcept>
#include <utility>

#include "unicode/utf8.h"

namespace text {

std::wstring Utf8ToWide(const std::string& utf8) {
  std::optional<std::wstring> wide = unicode::DecodeUtf8(utf8);
  if (!wide) throw std::range_error("bad conversion");
  return std::move(*wide);
}

std::wstring Utf8ToWideReplacing(const std::string& utf8) {
  return unicode::DecodeUtf8Replacing(utf8);
}

std::string WideToUtf8(const std::wstring& wide) {
  return unicode::EncodeUtf8(wide);
}

}  // namespace text

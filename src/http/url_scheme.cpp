#include "http/url_scheme.h"

#include <cctype>

namespace comm::http {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsHttpUrl(std::string_view url) {
  return StartsWithNoCase(url, "http://") || IsHttpsUrl(url);
}

bool IsHttpsUrl(std::string_view url) {
  return StartsWithNoCase(url, "https://");
}

}  // namespace comm::http

#include "http/transfer_policy.h"

#include <cctype>

namespace http_policy {
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

void ApplyTransferPolicy(CURL* easy, std::string_view url) {
  // libcurl guesses a scheme for a URL without one and knows many more than
  // these; both lists make it refuse the rest before any connection.
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, IsHttpsUrl(url) ? "https" : "http,https");
  // Certificates are always checked (libcurl's default); only a test names
  // its own authority.
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!g_testCaBundle.Get().empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, g_testCaBundle.Get().c_str());
  }
}

}  // namespace http_policy

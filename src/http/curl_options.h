#pragma once
// Setting options on a libcurl handle. Every option a transfer sets is one it
// needs, so a refused one fails the transfer before it starts.

#include <curl/curl.h>

#include <chrono>

namespace comm::http::curl {

// Sets one option, unless one before it in `result` was refused: the first
// refusal stays in `result`, and the transfer must not be performed then.
template <typename Value>
void SetOpt(CURLcode& result, CURL* easy, CURLoption option, Value value) {
  if (result == CURLE_OK) result = curl_easy_setopt(easy, option, value);
}

// libcurl takes its time limits as a long count of seconds or milliseconds.
// Nothing is clamped: a value it cannot take is its to refuse.
inline long CurlSeconds(std::chrono::seconds duration) {
  return static_cast<long>(duration.count());
}

// Lets go of what an option points at: clearing a pointer is never refused,
// and it only releases what the handle holds.
inline void ClearOpt(CURL* easy, CURLoption option) {
  curl_easy_setopt(easy, option, nullptr);
}

}  // namespace comm::http::curl

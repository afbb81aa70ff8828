#pragma once
// Base of every object that owns a libcurl handle: constructing one makes sure
// libcurl is initialised for the whole process first.

#include <curl/curl.h>

namespace comm::http::curl {

// The first call initialises libcurl (all features) and arranges the cleanup
// at process exit; later calls, from any thread, do nothing.
void InitialiseProcessWide();

// `Result`: what the owner's operations report, libcurl's own codes for a
// transfer.
template <typename Result>
class curl_interface {
 public:
  using result_type = Result;

  curl_interface() { InitialiseProcessWide(); }
  virtual ~curl_interface() = default;

 protected:
  curl_interface(const curl_interface&) = default;
  curl_interface& operator=(const curl_interface&) = default;
};

}  // namespace comm::http::curl

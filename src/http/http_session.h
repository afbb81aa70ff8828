#pragma once
// One HTTP request over one libcurl easy handle: construct for a URL, call Get
// or Post once, read the body and the error text (empty exactly on success).

#include <curl/curl.h>

#include <cstddef>
#include <sstream>
#include <string>

#include "http/curl_handles.h"

namespace comm::http {

class HttpSession {
 public:
  explicit HttpSession(const std::string& url);
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // GET of the URL with `query` appended when not empty; no redirects.
  std::string Get(const std::string& query, std::string& error);
  // POST of `body` as JSON to the URL; redirects followed.
  std::string Post(const std::string& body, std::string& error);

  // A body longer than `bytes` ends the transfer with libcurl's write error;
  // the default is the limit every answer shares.
  void SetResponseLimit(std::size_t bytes) { m_responseLimit = bytes; }
  // True when the last request ended because its body passed the limit.
  bool ResponseTooLarge() const { return m_responseTooLarge; }
  // The last request's HTTP status; 0 when no answer's status line came.
  long ResponseStatus() const { return m_status; }

 private:
  // libcurl's write callback: the body so far, up to the size limit.
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) noexcept;
  void ResetResponse();

  curl::EasyHandle handle;
  std::string url;
  std::stringstream response;
  std::size_t received = 0;
  std::size_t m_responseLimit = 0;
  bool m_responseTooLarge = false;
  long m_status = 0;
  // The first option the constructor could not set; a POST is not sent then.
  CURLcode m_setupResult = CURLE_OK;
};

}  // namespace comm::http

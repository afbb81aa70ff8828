#pragma once
// One HTTP request over one libcurl easy handle: construct for a URL, call Get
// or Post once, read the body and the error text (empty exactly on success).

#include <cstddef>
#include <memory>
#include <string>

namespace comm::http {

class HttpSession {
 public:
  explicit HttpSession(const std::string& url);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // GET of the URL with `query` appended when not empty; no redirects.
  std::string Get(const std::string& query, std::string& error);
  // POST of `body` as JSON to the URL; redirects followed.
  std::string Post(const std::string& body, std::string& error);

  // A body longer than `bytes` ends the transfer with libcurl's write error;
  // the default is the limit every answer shares.
  void SetResponseLimit(std::size_t bytes);
  // True when the last request ended because its body passed the limit.
  bool ResponseTooLarge() const;
  // The last request's HTTP status; 0 when no answer's status line came.
  long ResponseStatus() const;

 private:
  class Exchange;
  std::unique_ptr<Exchange> m_exchange;
};

}  // namespace comm::http

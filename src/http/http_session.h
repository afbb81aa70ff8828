#pragma once
// One HTTP request over one libcurl easy handle: construct for a URL, call Get
// or Post once, read what came of it from the result.

#include <cstddef>
#include <memory>
#include <string>

#include "http/transfer_options.h"

namespace comm::http {

// Why an exchange ended.
enum class ExchangeStatus {
  Answered,  // a whole answer came, of whatever HTTP status
  TooLarge,  // the body passed the response limit
  TimedOut,  // the time limit passed
  Network,   // anything else: no connection, a cut, TLS, a refused URL or option
};

struct ExchangeResult {
  ExchangeStatus status = ExchangeStatus::Answered;
  // The answer's HTTP status; 0 when no status line came.
  long httpStatus = 0;
  // The body as far as it came: whole when Answered, else a part or nothing.
  std::string body;
  // The network library's text for the failure (what callers show); a GET
  // adds the HTTP status it met. Empty exactly when Answered.
  std::string text;

  bool Answered() const { return status == ExchangeStatus::Answered; }
};

class HttpSession {
 public:
  // Certificates are checked against the store `options` name.
  explicit HttpSession(const std::string& url, TransferOptions options = {});
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // GET of the URL with `query` appended when not empty; no redirects.
  [[nodiscard]] ExchangeResult Get(const std::string& query);
  // POST of `body` as JSON to the URL; redirects followed.
  [[nodiscard]] ExchangeResult Post(const std::string& body);

  // A body longer than `bytes` ends the transfer as TooLarge; the default is
  // the limit every answer shares.
  void SetResponseLimit(std::size_t bytes);

 private:
  class Exchange;
  std::unique_ptr<Exchange> m_exchange;
};

}  // namespace comm::http

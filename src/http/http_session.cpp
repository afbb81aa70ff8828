#include "http/http_session.h"

#include <curl/curl.h>

#include <sstream>
#include <utility>

#include "http/curl_global.h"
#include "http/curl_handles.h"
#include "http/curl_options.h"
#include "http/transfer_policy.h"
#include "http/tunables.h"

namespace comm::http {
namespace {

constexpr char kCookieFile[] = "httpclient.cookies";

// libcurl's text for a result, empty for success.
std::string ResultText(CURLcode rc) {
  std::string text = curl_easy_strerror(rc);
  if (text == "No error") text.clear();
  return text;
}

std::string JoinQuery(const std::string& url, const std::string& query) {
  if (query.empty()) return url;
  std::string joined = url;
  auto mark = url.find('?');
  if (mark == std::string::npos) {
    joined += '?';
  } else if (mark + 1 != url.size()) {
    joined += '&';
  }
  return joined + query;
}

}  // namespace

class HttpSession::Exchange : curl::Initialised {
 public:
  Exchange(const std::string& url, TransferOptions options);

  ExchangeResult Get(const std::string& query);
  ExchangeResult Post(const std::string& body);
  void SetResponseLimit(std::size_t bytes) { m_responseLimit = bytes; }

 private:
  // libcurl's write callback: the body so far, up to the size limit.
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) noexcept;
  void ResetResponse();
  // What came of a performed transfer that ended with `rc`.
  ExchangeResult Finish(CURLcode rc);

  curl::EasyHandle m_handle;
  std::string m_url;
  // Applied again with the rules after every reset.
  TransferOptions m_options;
  std::stringstream m_response;
  std::size_t m_received = 0;
  std::size_t m_responseLimit = 0;
  bool m_responseTooLarge = false;
  // The first option the constructor could not set; a POST is not sent then.
  CURLcode m_setupResult = CURLE_OK;
};

HttpSession::Exchange::Exchange(const std::string& url, TransferOptions options)
    : m_handle(curl_easy_init()),
      m_url(url),
      m_options(std::move(options)),
      m_responseLimit(tunables::responseSizeLimit.Get()) {
  CURL* easy = m_handle.get();
  if (easy == nullptr) return;
  CURLcode& rc = m_setupResult;
  curl::SetOpt(rc, easy, CURLOPT_URL, m_url.c_str());
  curl::SetOpt(rc, easy, CURLOPT_CONNECTTIMEOUT,
               curl::CurlSeconds(tunables::sessionConnectTimeout.Get()));
  curl::SetOpt(rc, easy, CURLOPT_TIMEOUT, curl::CurlSeconds(tunables::sessionTimeout.Get()));
  curl::SetOpt(rc, easy, CURLOPT_HEADER, 0L);
  curl::SetOpt(rc, easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl::SetOpt(rc, easy, CURLOPT_MAXREDIRS, tunables::maxRedirects.Get());
  curl::SetOpt(rc, easy, CURLOPT_VERBOSE, 0L);
  if (rc == CURLE_OK) rc = ApplyTransferPolicy(easy, m_url, m_options);
  // Read only: no cookie jar, so nothing is ever written back.
  curl::SetOpt(rc, easy, CURLOPT_COOKIEFILE, kCookieFile);
}

std::size_t HttpSession::Exchange::OnBody(char* data, std::size_t size, std::size_t count,
                                          void* self) noexcept {
  // A short count makes libcurl end the transfer with a write error; so does
  // anything thrown, which must not unwind through libcurl.
  try {
    auto& exchange = *static_cast<Exchange*>(self);
    std::size_t bytes = size * count;
    if (bytes > exchange.m_responseLimit - exchange.m_received) {
      exchange.m_responseTooLarge = true;
      return 0;
    }
    exchange.m_response.write(data, static_cast<std::streamsize>(bytes));
    if (!exchange.m_response) return 0;
    exchange.m_received += bytes;
    return bytes;
  } catch (...) {
    return 0;
  }
}

void HttpSession::Exchange::ResetResponse() {
  m_response.str(std::string());
  m_response.clear();
  m_received = 0;
  m_responseTooLarge = false;
}

ExchangeResult HttpSession::Exchange::Finish(CURLcode rc) {
  ExchangeResult result;
  curl_easy_getinfo(m_handle.get(), CURLINFO_RESPONSE_CODE, &result.httpStatus);
  result.body = m_response.str();
  result.text = ResultText(rc);
  if (rc == CURLE_OK) return result;
  if (m_responseTooLarge) {
    result.status = ExchangeStatus::TooLarge;
  } else if (rc == CURLE_OPERATION_TIMEDOUT) {
    result.status = ExchangeStatus::TimedOut;
  } else {
    result.status = ExchangeStatus::Network;
  }
  return result;
}

ExchangeResult HttpSession::Exchange::Get(const std::string& query) {
  ResetResponse();
  CURL* easy = m_handle.get();
  if (easy == nullptr) return {ExchangeStatus::Network, 0, {}, "CURL handle is uninitialized"};
  std::string requestUrl = JoinQuery(m_url, query);

  // The reset drops the cookie file list without freeing it (libcurl 7.88);
  // clearing it first keeps every GET from leaking it.
  curl::ClearOpt(easy, CURLOPT_COOKIEFILE);
  curl_easy_reset(easy);
  // The reset also drops whatever the constructor could not set.
  CURLcode rc = CURLE_OK;
  curl::SetOpt(rc, easy, CURLOPT_URL, requestUrl.c_str());
  curl::SetOpt(rc, easy, CURLOPT_HTTPGET, 1L);
  curl::SetOpt(rc, easy, CURLOPT_TIMEOUT, curl::CurlSeconds(tunables::getTimeout.Get()));
  curl::SetOpt(rc, easy, CURLOPT_CONNECTTIMEOUT,
               curl::CurlSeconds(tunables::getConnectTimeout.Get()));
  curl::SetOpt(rc, easy, CURLOPT_WRITEFUNCTION, &HttpSession::Exchange::OnBody);
  curl::SetOpt(rc, easy, CURLOPT_WRITEDATA, this);
  curl::SetOpt(rc, easy, CURLOPT_NOSIGNAL, 1L);
  if (rc == CURLE_OK) rc = ApplyTransferPolicy(easy, requestUrl, m_options);
  if (rc != CURLE_OK) return {ExchangeStatus::Network, 0, {}, ResultText(rc)};

  ExchangeResult result = Finish(curl_easy_perform(easy));
  if (!result.Answered() && result.httpStatus != 0) {
    result.text += " (HTTP code: " + std::to_string(result.httpStatus) + ")";
  }
  return result;
}

ExchangeResult HttpSession::Exchange::Post(const std::string& body) {
  ResetResponse();
  CURL* easy = m_handle.get();
  if (easy == nullptr) {
    return {ExchangeStatus::Network, 0, {}, ResultText(CURLE_BAD_FUNCTION_ARGUMENT)};
  }

  // Each append returns the list's head, or null (the old list untouched) when
  // out of memory; the holder keeps whatever list exists so it is always freed.
  curl::HeaderList headers;
  for (const std::string& line :
       {std::string("Accept: application/json"), std::string("Content-Type: application/json"),
        "Content-Length:" + std::to_string(body.size())}) {
    curl_slist* head = curl_slist_append(headers.get(), line.c_str());
    if (head == nullptr) break;
    headers.release();
    headers.reset(head);
  }

  CURLcode rc = m_setupResult;
  curl::SetOpt(rc, easy, CURLOPT_POST, 1L);
  curl::SetOpt(rc, easy, CURLOPT_POSTFIELDS, body.c_str());
  curl::SetOpt(rc, easy, CURLOPT_HTTPHEADER, headers.get());
  curl::SetOpt(rc, easy, CURLOPT_TIMEOUT, curl::CurlSeconds(tunables::postTimeout.Get()));
  curl::SetOpt(rc, easy, CURLOPT_WRITEFUNCTION, &HttpSession::Exchange::OnBody);
  curl::SetOpt(rc, easy, CURLOPT_WRITEDATA, this);
  if (rc == CURLE_OK) rc = curl_easy_perform(easy);
  ExchangeResult result = Finish(rc);
  // The handle still points at the list; it must not outlive it.
  curl::ClearOpt(easy, CURLOPT_HTTPHEADER);
  return result;
}

HttpSession::HttpSession(const std::string& url, TransferOptions options)
    : m_exchange(std::make_unique<Exchange>(url, std::move(options))) {}

HttpSession::~HttpSession() = default;

ExchangeResult HttpSession::Get(const std::string& query) {
  return m_exchange->Get(query);
}

ExchangeResult HttpSession::Post(const std::string& body) {
  return m_exchange->Post(body);
}

void HttpSession::SetResponseLimit(std::size_t bytes) {
  m_exchange->SetResponseLimit(bytes);
}

}  // namespace comm::http

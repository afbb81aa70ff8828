#include "http/transfer_policy.h"

#include <string>

#include "http/curl_handles.h"
#include "http/curl_options.h"
#include "http/url_scheme.h"
#include "os/tls.h"
#include "text/utf8.h"

namespace comm::http {
namespace {

std::string HostOf(const char* url) {
  curl::UrlHandle parsed(curl_url());
  char* host = nullptr;
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK ||
      curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
    return {};
  }
  std::string text = host;
  curl_free(host);
  return text;
}

// Whether a request may go out on the connection just made. With
// Schannel, libcurl leaves the certificate to Schannel's own checks, which
// differ between Windows builds (and Wine makes none); the store's verdict
// is asked for here instead, so a refusal never depends on them.
int PeerVerdict(CURL* easy) {
  char* scheme = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_SCHEME, &scheme) != CURLE_OK || scheme == nullptr ||
      !IsHttpsUrl(std::string(scheme) + "://")) {
    return CURL_PREREQFUNC_OK;
  }
  curl_tlssessioninfo* session = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || session == nullptr) {
    return CURL_PREREQFUNC_ABORT;
  }
  // OpenSSL has checked the chain and the name against the bundle already.
  if (session->backend != CURLSSLBACKEND_SCHANNEL) return CURL_PREREQFUNC_OK;
  char* url = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr) {
    return CURL_PREREQFUNC_ABORT;
  }
  return os::SchannelPeerIsTrusted(session->internals, text::Utf8ToWideReplacing(HostOf(url)))
             ? CURL_PREREQFUNC_OK
             : CURL_PREREQFUNC_ABORT;
}

// Called once a connection is up and before a request goes out on it.
int CheckPeer(void* handle, char*, char*, int, int) noexcept {
  // Nothing thrown may unwind through libcurl: a check that could not be made
  // refuses the request.
  try {
    return PeerVerdict(static_cast<CURL*>(handle));
  } catch (...) {
    return CURL_PREREQFUNC_ABORT;
  }
}

}  // namespace

CURLcode ApplyTransferPolicy(CURL* easy, std::string_view url, const TransferOptions& options) {
  CURLcode rc = CURLE_OK;
  // libcurl guesses a scheme for a URL without one and knows many more than
  // these; both lists make it refuse the rest before any connection.
  curl::SetOpt(rc, easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl::SetOpt(rc, easy, CURLOPT_REDIR_PROTOCOLS_STR, IsHttpsUrl(url) ? "https" : "http,https");
  // Certificates are always checked (libcurl's default); only a test names
  // its own authority, and only for the transfers it hands it to.
  curl::SetOpt(rc, easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl::SetOpt(rc, easy, CURLOPT_SSL_VERIFYHOST, 2L);
  // Schannel also asks for revocation, and a company's own authority often
  // publishes no list: a revoked certificate is still refused, a list that
  // cannot be reached is not held against the server.
  curl::SetOpt(rc, easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  curl::SetOpt(rc, easy, CURLOPT_PREREQFUNCTION, &CheckPeer);
  curl::SetOpt(rc, easy, CURLOPT_PREREQDATA, easy);
  if (!options.caBundle.empty()) {
    curl::SetOpt(rc, easy, CURLOPT_CAINFO, options.caBundle.c_str());
  }
  return rc;
}

}  // namespace comm::http

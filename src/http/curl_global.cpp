#include "http/curl_global.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#include "http/crypto_setup.h"

namespace comm::http::curl {
namespace {

void CleanupAtExit() {
  curl_global_cleanup();
}

}  // namespace

void InitialiseProcessWide() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Before libcurl's own start-up, which would load OpenSSL's configuration.
    UseCryptoWithoutConfiguration();
    // A failed init shows up as failing handles later; there is no one to tell here.
    curl_global_init(CURL_GLOBAL_ALL);
    std::atexit(CleanupAtExit);
  });
}

}  // namespace comm::http::curl

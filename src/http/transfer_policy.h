#pragma once
// What every transfer of ours may do, in one place: speak HTTP or HTTPS only,
// follow redirects only to those, and never step down from HTTPS to HTTP.

#include <curl/curl.h>

#include <string_view>

#include "http/transfer_options.h"

namespace comm::http {

// Sets the rules on a handle that is about to fetch `url`. A handle started on
// HTTPS may be redirected to HTTPS only. Anything else is refused by libcurl
// before it connects. The certificate is checked against the store `options`
// name. Call again after every curl_easy_reset. Not CURLE_OK when libcurl
// refuses one of the rules: the handle must not be used then.
CURLcode ApplyTransferPolicy(CURL* easy, std::string_view url, const TransferOptions& options);

}  // namespace comm::http

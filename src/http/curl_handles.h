#pragma once
// Owners of what libcurl hands out, each freed by libcurl's own call.

#include <curl/curl.h>

#include <memory>

namespace comm::http::curl {

struct EasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;
using HeaderList = std::unique_ptr<curl_slist, SlistCleanup>;
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;

}  // namespace comm::http::curl

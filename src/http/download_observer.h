#pragma once
// What a download tells an interested party while it runs.

#include <curl/curl.h>

namespace comm::http {

class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;
  // Byte counts of the whole file: what is expected and what is on disk so far.
  virtual void OnProgress(double total, double now) = 0;
  // An attempt failed with `code` and another one follows.
  virtual void OnError(CURLcode code) = 0;
};

}  // namespace comm::http

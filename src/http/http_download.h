#pragma once
// One URL fetched into one file, streamed to disk as it arrives. A partial
// file is resumed with a byte range; failed attempts are retried a few times.

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "http/curl_interface.h"
#include "http/download_observer.h"
#include "os/files.h"

namespace comm::http {

class HttpDownload : public curl::curl_interface<CURLcode> {
 public:
  // Opens the target (a Windows-form path) and prepares the transfer; starts
  // nothing and reports nothing, Perform does.
  HttpDownload(const std::string& url, const std::wstring& path);
  ~HttpDownload() override;
  HttpDownload(const HttpDownload&) = delete;
  HttpDownload& operator=(const HttpDownload&) = delete;

  // CURLE_OK when the whole file is on disk; CURLE_ABORTED_BY_CALLBACK after
  // RequestAbort; CURLE_WRITE_ERROR at once when the target cannot be opened;
  // otherwise the last attempt's failure.
  CURLcode Perform();

  // Not owned; null detaches.
  void SetObserver(DownloadObserver* observer);
  // Ends the transfer at its next progress call, or before the next attempt.
  // Safe from another thread.
  void RequestAbort();

 private:
  struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
  };

  CURLcode RunAttempt();
  // First body bytes of an attempt: decide from the status whether the body
  // continues the file (206) or replaces it (200).
  bool AcceptAnswer();
  // After a finished attempt: the status must have been a success, and a
  // whole-file answer with no body still replaces the partial file.
  CURLcode CheckFinishedAnswer(CURLcode rc);
  bool Fail(CURLcode reason);

  static size_t OnWrite(char* data, size_t size, size_t count, void* self);
  static int OnTransferInfo(void* self, curl_off_t downloadTotal, curl_off_t downloadNow,
                            curl_off_t uploadTotal, curl_off_t uploadNow);

  std::unique_ptr<CURL, CurlDeleter> m_handle;
  std::string m_url;
  os::AppendFile m_file;
  DownloadObserver* m_observer = nullptr;
  std::atomic<bool> m_abortRequested{false};

  // Per attempt: the file length the request continues from, whether the
  // answer has been accepted, and why the attempt was refused (CURLE_OK if not).
  std::int64_t m_resumeOffset = 0;
  bool m_answerAccepted = false;
  CURLcode m_refusal = CURLE_OK;
};

}  // namespace comm::http

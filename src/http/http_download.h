#pragma once
// One URL fetched into one file, streamed to disk as it arrives. A partial
// file is resumed with a byte range, only while the server vouches that it is
// still the same file; failed attempts are retried a few times, all within one
// deadline.

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "http/curl_handles.h"
#include "http/curl_interface.h"
#include "http/download_observer.h"
#include "http/download_sink.h"
#include "os/files.h"

namespace comm::http {

// What a server says identifies the version of the file it sends.
struct FileIdentity {
  std::string etag;
  std::string lastModified;

  // For If-Range: a strong entity tag, else the modification date (a weak tag
  // says nothing about the bytes); empty when neither will do.
  std::string Validator() const;
  // Whatever both answers state must agree.
  bool Contradicts(const FileIdentity& other) const;
};

class HttpDownload : public curl::curl_interface<CURLcode> {
 public:
  // Opens the target (a Windows-form path) and prepares the transfer; starts
  // nothing and reports nothing, Perform does.
  HttpDownload(const std::string& url, const std::wstring& path);
  // Writes into `sink`, which the caller holds and keeps alive; its bytes
  // are taken as the start of this URL's file, as a file on disk is.
  HttpDownload(const std::string& url, DownloadSink& sink);
  ~HttpDownload() override;
  HttpDownload(const HttpDownload&) = delete;
  HttpDownload& operator=(const HttpDownload&) = delete;

  // CURLE_OK when the whole file is on disk; CURLE_ABORTED_BY_CALLBACK after
  // RequestAbort or an observer's OnProgress threw; CURLE_WRITE_ERROR at once when the target
  // cannot be opened; CURLE_OPERATION_TIMEDOUT past the deadline; CURLE_FILESIZE_EXCEEDED for a
  // body over the size limit, CURLE_WRITE_ERROR when it would not fit the
  // drive (both without a retry); otherwise the last attempt's failure. On
  // any failure the target file is removed (a sink is emptied): what is left
  // is never mistaken for a part of the file.
  result_type Perform();

  // Not owned; null detaches.
  void SetObserver(DownloadObserver* observer);
  // Lowers the size limit for this file (a length known in advance): a body
  // that would pass it ends the transfer, as one over the compiled-in limit
  // does. A larger value than that limit changes nothing.
  void SetSizeLimit(std::int64_t bytes);
  // Ends the transfer at its next progress call, or before the next attempt.
  // Safe from another thread.
  void RequestAbort();

 private:
  using Clock = std::chrono::steady_clock;
  class FileSink;

  void Prepare();

  CURLcode Attempts();
  CURLcode RunAttempt(Clock::time_point deadline);
  // The request's Range and If-Range for what is on disk now.
  CURLcode PrepareResume();
  // First body bytes of an attempt: decide from the status whether the body
  // continues the file (206) or replaces it (200).
  bool AcceptAnswer();
  // After a finished attempt: the status must have been a success, and a
  // whole-file answer with no body still replaces the partial file.
  CURLcode CheckFinishedAnswer(CURLcode rc);
  // The length the answer announces for the whole file (-1 when unknown) must
  // be within the size limit and fit the drive.
  bool CheckRoom(std::int64_t total);
  // A partial file no longer known to belong to the server's file: drop it,
  // so the next attempt starts at byte 0.
  bool Restart();
  bool Fail(CURLcode reason, bool final = false);

  // libcurl's callbacks. Anything thrown in them ends the attempt instead of
  // unwinding through libcurl.
  static size_t OnWrite(char* data, size_t size, size_t count, void* self) noexcept;
  static int OnTransferInfo(void* self, curl_off_t downloadTotal, curl_off_t downloadNow,
                            curl_off_t uploadTotal, curl_off_t uploadNow) noexcept;
  size_t Write(const char* data, size_t bytes);
  void ReportProgress(curl_off_t downloadTotal, curl_off_t downloadNow);

  curl::EasyHandle m_handle;
  curl::HeaderList m_headers;
  std::string m_url;
  std::unique_ptr<FileSink> m_ownFile;  // when constructed with a path
  DownloadSink* m_sink = nullptr;
  DownloadObserver* m_observer = nullptr;
  std::atomic<bool> m_abortRequested{false};
  std::int64_t m_sizeLimit = 0;

  // What the answer that started the file on disk said about it: its entity
  // tag and date (the If-Range value comes from them) and its whole length
  // (-1 when unknown). A file on disk before the first attempt is taken as
  // the caller's word that it starts this URL's file.
  FileIdentity m_identity;
  std::int64_t m_fileTotal = -1;
  bool m_vouched = true;
  // The first option the constructor could not set; no attempt is made then.
  CURLcode m_setupResult = CURLE_OK;

  // Per attempt: the file length the request continues from, the bytes
  // written since, whether the answer has been accepted, and why the attempt
  // was refused (CURLE_OK if not; final when no retry can help).
  std::int64_t m_resumeOffset = 0;
  std::int64_t m_written = 0;
  bool m_answerAccepted = false;
  CURLcode m_refusal = CURLE_OK;
  bool m_refusalFinal = false;
};

}  // namespace comm::http

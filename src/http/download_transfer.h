#pragma once
// The libcurl side of HttpDownload: one easy handle, its callbacks, and the
// bookkeeping that decides whether an answer continues the file on disk.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "http/curl_global.h"
#include "http/curl_handles.h"
#include "http/download_sink.h"
#include "http/http_download.h"
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

class HttpDownload::Transfer : curl::Initialised {
 public:
  Transfer(const std::string& url, const std::wstring& path, const TransferOptions& options);
  Transfer(const std::string& url, DownloadSink& sink, const TransferOptions& options);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  DownloadResult Perform();
  void SetSizeLimit(std::int64_t bytes);

 private:
  using Clock = std::chrono::steady_clock;
  class FileSink;

  void Prepare(const TransferOptions& options);
  DownloadResult Attempts();
  DownloadResult RunAttempt(Clock::time_point deadline);
  // The request's Range and If-Range for what is on disk now.
  CURLcode PrepareResume();
  // First body bytes of an attempt: decide from the status whether the body
  // continues the file (206) or replaces it (200).
  bool AcceptAnswer();
  // After a finished attempt: the status must have been a success, and a
  // whole-file answer with no body still replaces the partial file.
  DownloadResult CheckFinishedAnswer(CURLcode rc);
  // The length the answer announces for the whole file (-1 when unknown) must
  // be within the size limit and fit the drive.
  bool CheckRoom(std::int64_t total);
  // A partial file no longer known to belong to the server's file: drop it,
  // so the next attempt starts at byte 0.
  bool Restart();
  // Refuses the answer: `status`, told with libcurl's text for `code`.
  // Allocates nothing, so a callback's last resort cannot fail.
  bool Fail(DownloadStatus status, CURLcode code, bool final = false);
  DownloadResult Refused() const;

  // libcurl's write callback. Anything thrown in it ends the attempt instead
  // of unwinding through libcurl.
  static size_t OnWrite(char* data, size_t size, size_t count, void* self) noexcept;
  size_t Write(const char* data, size_t bytes);

  curl::EasyHandle m_handle;
  curl::HeaderList m_headers;
  std::string m_url;
  std::unique_ptr<FileSink> m_ownFile;  // when made with a path
  DownloadSink* m_sink = nullptr;
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
  // was refused (nothing if it was not; final when no retry can help).
  std::int64_t m_resumeOffset = 0;
  std::int64_t m_written = 0;
  bool m_answerAccepted = false;
  struct Refusal {
    DownloadStatus status;
    CURLcode code;
  };
  std::optional<Refusal> m_refusal;
  bool m_refusalFinal = false;
};

}  // namespace comm::http

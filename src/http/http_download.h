#pragma once
// One URL fetched into one file, streamed to disk as it arrives. A partial
// file is resumed with a byte range, only while the server vouches that it is
// still the same file; failed attempts are retried a few times, all within one
// deadline.

#include <cstdint>
#include <memory>
#include <string>

#include "http/download_sink.h"
#include "http/transfer_options.h"

namespace comm::http {

// Why a download ended.
enum class DownloadStatus {
  Complete,     // the whole file is on disk
  TooLarge,     // the body passed the size limit, announced or as it grew
  NoRoom,       // the announced length would not fit the target's drive
  WriteFailed,  // the target could not be opened or written
  HttpError,    // an answer with a status that is not a success
  WrongRange,   // partial content that does not continue the file on disk
  TimedOut,     // past the deadline, or the line went quiet
  Network,      // anything else the transfer met: no connection, a cut, TLS, a refused URL
};

struct DownloadResult {
  DownloadStatus status = DownloadStatus::Complete;
  // The network library's own text for the failure (what the progress line
  // shows); empty exactly when Complete.
  std::string text;

  bool Complete() const { return status == DownloadStatus::Complete; }
};

class HttpDownload {
 public:
  // Opens the target (a Windows-form path) and prepares the transfer; starts
  // nothing and reports nothing, Perform does. Certificates are checked
  // against the store `options` name.
  HttpDownload(const std::string& url, const std::wstring& path,
               const TransferOptions& options = {});
  // Writes into `sink`, which the caller holds and keeps alive; its bytes
  // are taken as the start of this URL's file, as a file on disk is.
  HttpDownload(const std::string& url, DownloadSink& sink, const TransferOptions& options = {});
  ~HttpDownload();
  HttpDownload(const HttpDownload&) = delete;
  HttpDownload& operator=(const HttpDownload&) = delete;

  // WriteFailed at once when the target cannot be opened; TooLarge and NoRoom
  // without a retry; TimedOut past the deadline; otherwise the last attempt's
  // failure. On any failure the target file is removed (a sink is emptied):
  // what is left is never mistaken for a part of the file.
  DownloadResult Perform();

  // Lowers the size limit for this file (a length known in advance): a body
  // that would pass it ends the transfer, as one over the compiled-in limit
  // does. A larger value than that limit changes nothing.
  void SetSizeLimit(std::int64_t bytes);

 private:
  class Transfer;
  std::unique_ptr<Transfer> m_transfer;
};

}  // namespace comm::http

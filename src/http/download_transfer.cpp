#include "http/download_transfer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "http/curl_options.h"
#include "http/transfer_policy.h"
#include "http/tunables.h"
#include "os/machine.h"
#include "os/network.h"
#include "path/windows_path.h"

namespace comm::http {
namespace {

// libcurl hands the body over in pieces of up to this size, and the socket
// may hold twice as much unread. Large pieces mean few receive calls,
// callbacks and writes for the same bytes; a large socket buffer, set before
// the connection opens its window, lets the sender run ahead instead of
// waiting for the window to grow. Measured on loopback: about a quarter less
// CPU time than libcurl's defaults (16 KiB, the system's window tuning).
constexpr long kReceiveBufferBytes = 4 * 1024 * 1024;
constexpr int kSocketBufferBytes = 8 * 1024 * 1024;

// Longer validators are not what servers send; such a header is not trusted.
constexpr std::size_t kMaxValidatorLength = 512;

std::string HeaderValue(CURL* handle, const char* name) {
  curl_header* header = nullptr;
  if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return {};
  return header->value;
}

// "Content-Range: bytes a-b/n": the first byte position and the whole length
// (-1 for "*").
bool ParseContentRange(const std::string& value, std::int64_t& start, std::int64_t& total) {
  constexpr char kUnit[] = "bytes ";
  if (value.rfind(kUnit, 0) != 0) return false;
  const char* text = value.data() + sizeof kUnit - 1;
  const char* end = value.data() + value.size();
  while (text < end && *text == ' ') ++text;
  auto [afterStart, error] = std::from_chars(text, end, start);
  if (error != std::errc() || afterStart == end || *afterStart != '-') return false;
  const char* slash = std::find(afterStart, end, '/');
  total = -1;
  if (slash == end || slash + 1 == end || slash[1] == '*') return true;
  auto [afterTotal, totalError] = std::from_chars(slash + 1, end, total);
  if (totalError != std::errc() || afterTotal != end) total = -1;
  return true;
}

FileIdentity IdentityOf(CURL* handle) {
  return {HeaderValue(handle, "ETag"), HeaderValue(handle, "Last-Modified")};
}

// base, 2 * base, 4 * base ... after the first, second, third failed attempt.
std::uint64_t PauseAfterAttempt(int attempt) {
  const auto pause =
      static_cast<std::uint64_t>(tunable::WholeMilliseconds(tunables::downloadRetryPause.Get()));
  return pause << std::min(attempt - 1, 16);
}

int OnSocketOpened(void*, curl_socket_t socket, curlsocktype purpose) noexcept {
  // Best effort: the system's own size still works.
  try {
    if (purpose == CURLSOCKTYPE_IPCXN) {
      os::SetReceiveBufferSize(static_cast<std::uintptr_t>(socket), kSocketBufferBytes);
    }
    return CURL_SOCKOPT_OK;
  } catch (...) {
    return CURL_SOCKOPT_ERROR;
  }
}

std::int64_t MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                               std::chrono::steady_clock::now())
      .count();
}

// The end of a transfer as libcurl reports it, in our words.
DownloadResult FromCurl(CURLcode rc) {
  if (rc == CURLE_OK) return {};
  DownloadStatus status = DownloadStatus::Network;
  switch (rc) {
    case CURLE_FILESIZE_EXCEEDED:
      status = DownloadStatus::TooLarge;
      break;
    case CURLE_WRITE_ERROR:
      status = DownloadStatus::WriteFailed;
      break;
    case CURLE_HTTP_RETURNED_ERROR:
      status = DownloadStatus::HttpError;
      break;
    case CURLE_RANGE_ERROR:
      status = DownloadStatus::WrongRange;
      break;
    case CURLE_OPERATION_TIMEDOUT:
      status = DownloadStatus::TimedOut;
      break;
    default:
      break;
  }
  return {status, curl_easy_strerror(rc)};
}

}  // namespace

std::string FileIdentity::Validator() const {
  const std::string& v = !etag.empty() && etag.rfind("W/", 0) != 0 ? etag : lastModified;
  return v.size() <= kMaxValidatorLength ? v : std::string();
}

bool FileIdentity::Contradicts(const FileIdentity& other) const {
  return (!etag.empty() && !other.etag.empty() && etag != other.etag) ||
         (!lastModified.empty() && !other.lastModified.empty() &&
          lastModified != other.lastModified);
}

// A path's file, opened for appending; what a failed download leaves is
// removed.
class HttpDownload::Transfer::FileSink : public DownloadSink {
 public:
  explicit FileSink(const std::wstring& path) : m_path(path) { m_file.Open(path); }
  bool IsOpen() const { return m_file.IsOpen(); }
  std::int64_t Size() const override { return m_file.Size(); }
  bool Truncate() override { return m_file.Truncate(); }
  bool Write(const char* data, std::size_t size) override { return m_file.Write(data, size); }
  std::wstring Folder() const override { return path::Parent(m_path); }
  // Only a file that can be emptied is a file of ours to remove (never a
  // device standing at the path).
  void Remove() {
    if (!m_file.Truncate()) return;
    m_file.Close();
    os::DeleteOneFile(m_path);
  }
  void Close() { m_file.Close(); }

 private:
  std::wstring m_path;
  os::AppendFile m_file;
};

HttpDownload::Transfer::Transfer(const std::string& url, const std::wstring& path,
                                 const TransferOptions& options)
    : m_url(url), m_ownFile(std::make_unique<FileSink>(path)) {
  if (m_ownFile->IsOpen()) m_sink = m_ownFile.get();
  Prepare(options);
}

HttpDownload::Transfer::Transfer(const std::string& url, DownloadSink& sink,
                                 const TransferOptions& options)
    : m_url(url), m_sink(&sink) {
  Prepare(options);
}

// The handle is set up once and never reset, and libcurl keeps its own copy
// of every text option: `options` need not outlive this.
void HttpDownload::Transfer::Prepare(const TransferOptions& options) {
  m_sizeLimit = tunables::downloadSizeLimit.Get();
  m_handle.reset(curl_easy_init());
  CURL* h = m_handle.get();
  if (h == nullptr) return;
  CURLcode& rc = m_setupResult;
  curl::SetOpt(rc, h, CURLOPT_URL, m_url.c_str());
  curl::SetOpt(rc, h, CURLOPT_HEADER, 0L);
  curl::SetOpt(rc, h, CURLOPT_CONNECTTIMEOUT,
               curl::CurlSeconds(tunables::downloadConnectTimeout.Get()));
  curl::SetOpt(rc, h, CURLOPT_MAXREDIRS, 5L);
  curl::SetOpt(rc, h, CURLOPT_FOLLOWLOCATION, 1L);
  if (rc == CURLE_OK) rc = ApplyTransferPolicy(h, m_url, options);
  curl::SetOpt(rc, h, CURLOPT_NOSIGNAL, 1L);
  curl::SetOpt(rc, h, CURLOPT_FORBID_REUSE, 1L);
  // A line that has gone quiet ends the attempt long before the time-out.
  curl::SetOpt(rc, h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl::SetOpt(rc, h, CURLOPT_LOW_SPEED_TIME,
               curl::CurlSeconds(tunables::downloadLowSpeedTime.Get()));
  curl::SetOpt(rc, h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl::SetOpt(rc, h, CURLOPT_SOCKOPTFUNCTION, &OnSocketOpened);
  curl::SetOpt(rc, h, CURLOPT_WRITEFUNCTION, &HttpDownload::Transfer::OnWrite);
  curl::SetOpt(rc, h, CURLOPT_WRITEDATA, this);
}

HttpDownload::Transfer::~Transfer() {
  // The handle goes before the file it writes to.
  m_handle.reset();
  if (m_ownFile) m_ownFile->Close();
}

void HttpDownload::Transfer::SetSizeLimit(std::int64_t bytes) {
  m_sizeLimit = std::min(bytes, tunables::downloadSizeLimit.Get());
}

DownloadResult HttpDownload::Transfer::Perform() {
  // Without a target there is nothing a transfer could achieve.
  if (m_sink == nullptr) return FromCurl(CURLE_WRITE_ERROR);
  DownloadResult result = Attempts();
  // Nothing records which file the bytes on disk belonged to; a later run
  // must not take them for a start.
  if (!result.Complete()) {
    if (m_ownFile) {
      m_ownFile->Remove();
    } else {
      m_sink->Truncate();
    }
  }
  return result;
}

DownloadResult HttpDownload::Transfer::Attempts() {
  if (!m_handle) return FromCurl(CURLE_FAILED_INIT);
  if (m_setupResult != CURLE_OK) return FromCurl(m_setupResult);
  const Clock::time_point deadline = Clock::now() + tunables::downloadDeadline.Get();
  const int attempts = std::max(1, tunables::downloadAttempts.Get());
  for (int attempt = 1;; ++attempt) {
    if (MillisecondsUntil(deadline) <= 0) return FromCurl(CURLE_OPERATION_TIMEDOUT);
    DownloadResult result = RunAttempt(deadline);
    if (result.Complete() || m_refusalFinal || attempt >= attempts) return result;
    // A time-out has already waited long enough.
    if (result.status == DownloadStatus::TimedOut) continue;
    const std::int64_t left = std::max<std::int64_t>(MillisecondsUntil(deadline), 0);
    os::SleepMilliseconds(static_cast<unsigned>(
        std::min<std::uint64_t>({PauseAfterAttempt(attempt), static_cast<std::uint64_t>(left),
                                 std::numeric_limits<unsigned>::max()})));
  }
}

DownloadResult HttpDownload::Transfer::RunAttempt(Clock::time_point deadline) {
  m_answerAccepted = false;
  m_refusal.reset();
  m_refusalFinal = false;
  m_written = 0;
  CURLcode rc = PrepareResume();
  // The attempt's own limit, cut short by what is left of the deadline.
  const std::int64_t limit =
      std::min<std::int64_t>(std::chrono::milliseconds(tunables::downloadTimeout.Get()).count(),
                             std::max<std::int64_t>(MillisecondsUntil(deadline), 1));
  curl::SetOpt(rc, m_handle.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(limit));
  if (rc != CURLE_OK) return FromCurl(rc);
  return CheckFinishedAnswer(curl_easy_perform(m_handle.get()));
}

CURLcode HttpDownload::Transfer::PrepareResume() {
  // Continue from what is on disk now, so bytes an earlier attempt stored are
  // neither asked for nor written twice.
  m_resumeOffset = m_sink->Size();
  if (m_resumeOffset < 0) return CURLE_WRITE_ERROR;
  // Bytes from an answer that named no version of its file could be followed
  // by another file's tail; start again instead.
  if (m_resumeOffset > 0 && !m_vouched) {
    if (!Restart()) return CURLE_WRITE_ERROR;
    m_resumeOffset = 0;
  }
  CURL* h = m_handle.get();
  CURLcode rc = CURLE_OK;
  const std::string range = std::to_string(m_resumeOffset) + "-";
  curl::SetOpt(rc, h, CURLOPT_RANGE, m_resumeOffset > 0 ? range.c_str() : nullptr);
  // The rest is asked for only if the file is still the one we began;
  // otherwise the server sends the new one whole.
  curl::HeaderList headers;
  const std::string validator = m_identity.Validator();
  if (m_resumeOffset > 0 && !validator.empty()) {
    headers.reset(curl_slist_append(nullptr, ("If-Range: " + validator).c_str()));
    if (!headers) return CURLE_WRITE_ERROR;
  }
  curl::SetOpt(rc, h, CURLOPT_HTTPHEADER, headers.get());
  // A refused list is not the handle's: the one it points at stays alive.
  if (rc == CURLE_OK) m_headers = std::move(headers);
  return rc;
}

bool HttpDownload::Transfer::AcceptAnswer() {
  CURL* h = m_handle.get();
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t length = -1;
  curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  const FileIdentity identity = IdentityOf(h);
  std::int64_t total = -1;
  if (status == 206) {
    std::int64_t start = -1;
    if (!ParseContentRange(HeaderValue(h, "Content-Range"), start, total) ||
        start != m_resumeOffset) {
      return Fail(DownloadStatus::WrongRange, CURLE_RANGE_ERROR);
    }
    if (total < 0 && length >= 0) total = start + length;
    // The rest of a file other than the one on disk (a server that ignored
    // If-Range, or one that has none): splicing it on would corrupt both.
    const bool otherFile = (m_fileTotal >= 0 && total >= 0 && total != m_fileTotal) ||
                           identity.Contradicts(m_identity);
    if (otherFile) {
      if (!Restart()) return Fail(DownloadStatus::WriteFailed, CURLE_WRITE_ERROR);
      return Fail(DownloadStatus::WrongRange, CURLE_RANGE_ERROR);
    }
    // A file found on disk: this is the first answer about it.
    if (m_identity.Validator().empty()) m_identity = identity;
    if (m_fileTotal < 0) m_fileTotal = total;
  } else if (status >= 200 && status < 300) {
    // The whole file, not the rest of it: a server without ranges, or a file
    // that changed since the first answer.
    if (m_resumeOffset > 0) {
      if (!m_sink->Truncate()) return Fail(DownloadStatus::WriteFailed, CURLE_WRITE_ERROR);
      m_resumeOffset = 0;
    }
    total = length;
    m_identity = identity;
    m_fileTotal = total;
  } else {
    // Error pages and anything else that is not the file stay off the disk.
    return Fail(DownloadStatus::HttpError, CURLE_HTTP_RETURNED_ERROR);
  }
  m_vouched = !m_identity.Validator().empty();
  if (!CheckRoom(total)) return false;
  m_answerAccepted = true;
  return true;
}

bool HttpDownload::Transfer::CheckRoom(std::int64_t total) {
  if (total < 0) return true;  // unknown: the size limit still holds per write
  if (total > m_sizeLimit) return Fail(DownloadStatus::TooLarge, CURLE_FILESIZE_EXCEEDED, true);
  const std::wstring folder = m_sink->Folder();
  std::uint64_t freeBytes = 0;
  // A drive that cannot be asked is not refused: a full one fails the write.
  // The folder is asked with its trailing backslash ("C:\", a share's root).
  if (folder.empty() || !os::FreeBytesForCaller(path::Join(folder, {}), freeBytes)) return true;
  const auto needed = static_cast<std::uint64_t>(total - m_resumeOffset) +
                      static_cast<std::uint64_t>(tunables::downloadFreeSpaceMargin.Get());
  // libcurl has no word for a full drive; its write error is the nearest.
  if (freeBytes < needed) return Fail(DownloadStatus::NoRoom, CURLE_WRITE_ERROR, true);
  return true;
}

bool HttpDownload::Transfer::Restart() {
  m_identity = {};
  m_fileTotal = -1;
  m_vouched = true;
  return m_sink->Truncate();
}

DownloadResult HttpDownload::Transfer::CheckFinishedAnswer(CURLcode rc) {
  // A refusal surfaces from libcurl as a write error; report the reason.
  if (m_refusal) return Refused();
  if (rc != CURLE_OK) return FromCurl(rc);
  // An empty body never reached the write callback.
  if (!m_answerAccepted && !AcceptAnswer()) return Refused();
  return {};
}

DownloadResult HttpDownload::Transfer::Refused() const {
  return {m_refusal->status, curl_easy_strerror(m_refusal->code)};
}

bool HttpDownload::Transfer::Fail(DownloadStatus status, CURLcode code, bool final) {
  m_refusal = Refusal{status, code};
  m_refusalFinal = final;
  return false;
}

size_t HttpDownload::Transfer::OnWrite(char* data, size_t size, size_t count, void* self) noexcept {
  auto* download = static_cast<HttpDownload::Transfer*>(self);
  try {
    return download->Write(data, size * count);
  } catch (...) {
    // A short count makes libcurl end the attempt; no retry after a fault.
    download->Fail(DownloadStatus::WriteFailed, CURLE_WRITE_ERROR, true);
    return 0;
  }
}

size_t HttpDownload::Transfer::Write(const char* data, size_t bytes) {
  if (!m_answerAccepted && !AcceptAnswer()) return 0;
  // A body longer than it said, or one that never said: the limit holds.
  const std::int64_t after = m_resumeOffset + m_written + static_cast<std::int64_t>(bytes);
  if (after > m_sizeLimit) {
    Fail(DownloadStatus::TooLarge, CURLE_FILESIZE_EXCEEDED, true);
    return 0;
  }
  // A short count makes libcurl end the attempt with a write error.
  if (!m_sink->Write(data, bytes)) {
    Fail(DownloadStatus::WriteFailed, CURLE_WRITE_ERROR);
    return 0;
  }
  m_written += static_cast<std::int64_t>(bytes);
  return bytes;
}

}  // namespace comm::http

#include "http/http_download.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "http/download_tunables.h"
#include "http/transfer_policy.h"
#include "os/machine.h"

namespace comm::http {
namespace {

// The first byte position of a 206 answer's "Content-Range: bytes a-b/n".
bool ContentRangeStart(CURL* handle, std::int64_t& start) {
  curl_header* header = nullptr;
  if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
    return false;
  }
  const char* text = header->value;
  const char* end = text + std::strlen(text);
  constexpr char kUnit[] = "bytes ";
  if (std::strncmp(text, kUnit, sizeof kUnit - 1) != 0) return false;
  text += sizeof kUnit - 1;
  while (text < end && *text == ' ') ++text;
  auto [after, error] = std::from_chars(text, end, start);
  return error == std::errc() && after < end && *after == '-';
}

// base, 2 * base, 4 * base ... after the first, second, third failed attempt.
unsigned PauseAfterAttempt(int attempt) {
  std::uint64_t pause = g_downloadRetryPauseMilliseconds.Get();
  pause <<= std::min(attempt - 1, 16);
  return static_cast<unsigned>(
      std::min<std::uint64_t>(pause, std::numeric_limits<unsigned>::max()));
}

}  // namespace

HttpDownload::HttpDownload(const std::string& url, const std::wstring& path) : m_url(url) {
  m_file.Open(path);
  m_handle.reset(curl_easy_init());
  CURL* h = m_handle.get();
  if (h == nullptr) return;
  curl_easy_setopt(h, CURLOPT_URL, m_url.c_str());
  curl_easy_setopt(h, CURLOPT_HEADER, 0L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, g_downloadConnectTimeoutSeconds.Get());
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  http_policy::ApplyTransferPolicy(h, m_url);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, g_downloadTimeoutSeconds.Get());
  // A line that has gone quiet ends the attempt long before the time-out.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, g_downloadLowSpeedSeconds.Get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &HttpDownload::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &HttpDownload::OnTransferInfo);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
}

HttpDownload::~HttpDownload() {
  // The handle goes before the file it writes to.
  m_handle.reset();
  m_file.Close();
}

void HttpDownload::SetObserver(DownloadObserver* observer) {
  m_observer = observer;
}

void HttpDownload::RequestAbort() {
  m_abortRequested = true;
}

CURLcode HttpDownload::Perform() {
  // Without a target there is nothing a transfer could achieve.
  if (!m_file.IsOpen()) return CURLE_WRITE_ERROR;
  if (!m_handle) return CURLE_FAILED_INIT;
  const int attempts = std::max(1, g_downloadMaxAttempts.Get());
  for (int attempt = 1;; ++attempt) {
    if (m_abortRequested) return CURLE_ABORTED_BY_CALLBACK;
    CURLcode rc = RunAttempt();
    if (rc == CURLE_OK || rc == CURLE_ABORTED_BY_CALLBACK || attempt >= attempts) return rc;
    // A time-out has already waited long enough.
    if (rc == CURLE_OPERATION_TIMEDOUT) continue;
    if (m_observer != nullptr) m_observer->OnError(rc);
    os::SleepMilliseconds(PauseAfterAttempt(attempt));
  }
}

CURLcode HttpDownload::RunAttempt() {
  // Continue from what is on disk now, so bytes an earlier attempt stored are
  // neither asked for nor written twice.
  m_resumeOffset = m_file.Size();
  if (m_resumeOffset < 0) return CURLE_WRITE_ERROR;
  m_answerAccepted = false;
  m_refusal = CURLE_OK;
  std::string range = m_resumeOffset > 0 ? std::to_string(m_resumeOffset) + "-" : std::string();
  curl_easy_setopt(m_handle.get(), CURLOPT_RANGE, range.empty() ? nullptr : range.c_str());
  return CheckFinishedAnswer(curl_easy_perform(m_handle.get()));
}

bool HttpDownload::AcceptAnswer() {
  long status = 0;
  curl_easy_getinfo(m_handle.get(), CURLINFO_RESPONSE_CODE, &status);
  if (status == 206) {
    std::int64_t start = -1;
    if (!ContentRangeStart(m_handle.get(), start) || start != m_resumeOffset) {
      return Fail(CURLE_RANGE_ERROR);
    }
  } else if (status >= 200 && status < 300) {
    // The server sent the whole file, not the rest of it.
    if (m_resumeOffset > 0) {
      if (!m_file.Truncate()) return Fail(CURLE_WRITE_ERROR);
      m_resumeOffset = 0;
    }
  } else {
    // Error pages and anything else that is not the file stay off the disk.
    return Fail(CURLE_HTTP_RETURNED_ERROR);
  }
  m_answerAccepted = true;
  return true;
}

CURLcode HttpDownload::CheckFinishedAnswer(CURLcode rc) {
  // A refusal surfaces from libcurl as a write error; report the reason.
  if (m_refusal != CURLE_OK) return m_refusal;
  if (rc != CURLE_OK) return rc;
  // An empty body never reached the write callback.
  if (!m_answerAccepted && !AcceptAnswer()) return m_refusal;
  return CURLE_OK;
}

bool HttpDownload::Fail(CURLcode reason) {
  m_refusal = reason;
  return false;
}

size_t HttpDownload::OnWrite(char* data, size_t size, size_t count, void* self) {
  auto* download = static_cast<HttpDownload*>(self);
  const size_t bytes = size * count;
  if (!download->m_answerAccepted && !download->AcceptAnswer()) return 0;
  // A short count makes libcurl end the attempt with a write error.
  if (!download->m_file.Write(data, bytes)) {
    download->Fail(CURLE_WRITE_ERROR);
    return 0;
  }
  return bytes;
}

int HttpDownload::OnTransferInfo(void* self, curl_off_t downloadTotal, curl_off_t downloadNow,
                                 curl_off_t, curl_off_t) {
  auto* download = static_cast<HttpDownload*>(self);
  if (download->m_abortRequested) return 1;
  // Before the answer is accepted the offset may still drop to 0 (a 200).
  if (download->m_observer != nullptr && download->m_answerAccepted) {
    double offset = static_cast<double>(download->m_resumeOffset);
    download->m_observer->OnProgress(offset + static_cast<double>(downloadTotal),
                                     offset + static_cast<double>(downloadNow));
  }
  return 0;
}

}  // namespace comm::http

#include "http/http_download.h"

#include "http/download_transfer.h"

namespace comm::http {

HttpDownload::HttpDownload(const std::string& url, const std::wstring& path,
                           const TransferOptions& options)
    : m_transfer(std::make_unique<Transfer>(url, path, options)) {}

HttpDownload::HttpDownload(const std::string& url, DownloadSink& sink,
                           const TransferOptions& options)
    : m_transfer(std::make_unique<Transfer>(url, sink, options)) {}

HttpDownload::~HttpDownload() = default;

DownloadResult HttpDownload::Perform() {
  return m_transfer->Perform();
}

void HttpDownload::SetSizeLimit(std::int64_t bytes) {
  m_transfer->SetSizeLimit(bytes);
}

}  // namespace comm::http

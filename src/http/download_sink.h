#pragma once
// Where a download's bytes go: a file someone already holds open, so nothing
// is opened by name while the transfer runs.

#include <cstddef>
#include <cstdint>
#include <string>

namespace comm::http {

class DownloadSink {
 public:
  virtual ~DownloadSink() = default;

  // Bytes held so far (a retry asks for the rest); -1 when not measurable.
  virtual std::int64_t Size() const = 0;
  // Drops every byte held, so the next write starts the file afresh.
  virtual bool Truncate() = 0;
  // All `size` bytes at the end, or false.
  virtual bool Write(const char* data, std::size_t size) = 0;
  // The folder the bytes land in (Windows-form), whose drive's free space is
  // asked before a large answer; empty when it is not to be asked.
  virtual std::wstring Folder() const = 0;
};

}  // namespace comm::http

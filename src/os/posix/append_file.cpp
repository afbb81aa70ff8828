// Native backend of os::AppendFile: a POSIX descriptor through the drive map.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/files.h"
#include "os/posix/drive_map.h"

namespace os {

bool AppendFile::Open(const std::wstring& path) {
  Close();
  auto host = posix::ToHostPath(path);
  if (!host) return false;
  int fd = ::open(host->c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  m_native = fd;
  return true;
}

std::int64_t AppendFile::Size() const {
  struct stat st {};
  if (!IsOpen() || ::fstat(static_cast<int>(m_native), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool AppendFile::Truncate() {
  return IsOpen() && ::ftruncate(static_cast<int>(m_native), 0) == 0;
}

bool AppendFile::Write(const char* data, std::size_t size) {
  if (!IsOpen()) return false;
  while (size > 0) {
    ssize_t written = ::write(static_cast<int>(m_native), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void AppendFile::Close() {
  if (!IsOpen()) return;
  ::close(static_cast<int>(m_native));
  m_native = kClosed;
}

}  // namespace os

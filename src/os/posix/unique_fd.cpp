// Native backend: closing a descriptor and writing a whole buffer to one.
#include "os/posix/unique_fd.h"

#include <unistd.h>

#include <cerrno>

namespace os::posix {

void UniqueFd::Reset(int fd) {
  int old = std::exchange(m_fd, fd);
  if (old >= 0) ::close(old);
}

bool UniqueFd::Close() {
  int fd = Release();
  return fd < 0 || ::close(fd) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace os::posix

// Native backend: reading a file only root may have written.
#include "os/posix/root_only_file.h"

#include <unistd.h>

#include <cerrno>

namespace os::posix {

bool OnlyRootMayWrite(const struct stat& info) {
  return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

RootFileRead ReadRootOnlyFile(int fd, std::size_t maxBytes, std::string& contents) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return RootFileRead::Failed;
  if (!S_ISREG(info.st_mode) || !OnlyRootMayWrite(info)) return RootFileRead::Untrusted;
  if (info.st_size < 0 || static_cast<std::size_t>(info.st_size) > maxBytes) {
    return RootFileRead::Failed;
  }
  std::string text(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return RootFileRead::Failed;
    got += static_cast<std::size_t>(n);
  }
  contents = std::move(text);
  return RootFileRead::Read;
}

}  // namespace os::posix

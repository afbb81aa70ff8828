// Native backend of the read-only file: open and pread through the drive map.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "os/files.h"
#include "os/posix/drive_map.h"
#include "os/posix/native_file.h"

namespace os {

bool ReadOnlyFile::Open(const std::wstring& path) {
  Close();
  auto host = posix::ToHostPath(path);
  if (!host) return false;
  posix::UniqueFd fd(open(host->c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  m_file.reset(new NativeFile{std::move(fd)});
  return true;
}

bool ReadOnlyFile::OpenIn(const HeldFolder& folder, const std::wstring& name) {
  Close();
  const auto level = posix::FolderEntryName(name);
  const int parent = posix::HeldFolderFd(folder);
  if (!level || parent < 0) return false;
  // O_NONBLOCK: a FIFO planted at the name must not hold the open.
  posix::UniqueFd fd(
      openat(parent, level->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  m_file.reset(new NativeFile{std::move(fd)});
  return true;
}

std::int64_t ReadOnlyFile::Size() const {
  struct stat st {};
  if (!IsOpen() || fstat(m_file->fd.Get(), &st) != 0) return -1;
  return st.st_size;
}

std::int64_t ReadOnlyFile::ReadAt(std::int64_t offset, char* data, std::size_t size) const {
  if (!IsOpen() || offset < 0) return -1;
  for (;;) {
    ssize_t got = pread(m_file->fd.Get(), data, size, offset);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}


}  // namespace os

// Native backend of os::AppendFile: a POSIX descriptor through the drive map.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "os/files.h"
#include "os/posix/drive_map.h"
#include "os/posix/native_file.h"

namespace os {

bool AppendFile::Open(const std::wstring& path) {
  Close();
  auto host = posix::ToHostPath(path);
  if (!host) return false;
  posix::UniqueFd fd(::open(host->c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!fd) return false;
  m_file.reset(new NativeFile{std::move(fd)});
  return true;
}

std::int64_t AppendFile::Size() const {
  struct stat st {};
  if (!IsOpen() || ::fstat(m_file->fd.Get(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool AppendFile::Truncate() {
  return IsOpen() && ::ftruncate(m_file->fd.Get(), 0) == 0;
}

bool AppendFile::Write(const char* data, std::size_t size) {
  return IsOpen() && posix::WriteAll(m_file->fd.Get(), data, size);
}

}  // namespace os

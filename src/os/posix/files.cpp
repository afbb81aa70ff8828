// Native backend of the files service: POSIX calls through the drive map.
#include "os/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/drive_map.h"
#include "os/posix/native_file.h"

namespace os {

void NativeFileRelease::operator()(NativeFile* file) const noexcept {
  delete file;
}

namespace {

// The platform's read-only attribute has no POSIX twin; a file nobody may
// write is the closest, and it holds for root too.
bool IsReadOnlyFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// A refusal of the program's own, with the cause the platform gives for it.
bool Refuse(int cause) {
  errno = cause;
  return false;
}

}  // namespace

bool DeleteOneFile(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || lstat(host->c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return Refuse(EISDIR);
  if (IsReadOnlyFile(st)) return Refuse(EACCES);
  return unlink(host->c_str()) == 0;
}

}  // namespace os

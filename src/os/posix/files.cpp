// Native backend of the files service: POSIX calls through the drive map.
#include "os/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "os/posix/drive_map.h"
#include "os/posix/native_file.h"

namespace os {

void NativeFileRelease::operator()(NativeFile* file) const noexcept {
  delete file;
}

FileStatus StatusOf(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || lstat(host->c_str(), &st) != 0) return {};
  FileStatus status;
  if (S_ISLNK(st.st_mode)) {
    status.kind = EntryKind::Link;
  } else if (S_ISDIR(st.st_mode)) {
    status.kind = EntryKind::Folder;
  } else if (S_ISREG(st.st_mode)) {
    status.kind = EntryKind::File;
  } else {
    status.kind = EntryKind::Other;
  }
  // A link's own mode grants everything; it is never read-only itself.
  status.readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  return status;
}

}  // namespace os

// Create, list, delete, copy, read.
#include <dirent.h>
#include <fcntl.h>

#include <cerrno>

#include "os/posix/unique_fd.h"
#include "unicode/utf8.h"

namespace os {
namespace {

// The platform's read-only attribute has no POSIX twin; a file nobody may
// write is the closest, and it holds for root too (StatusOf's readOnly).
bool IsReadOnlyFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// A refusal of the program's own, with the cause the platform gives for it.
bool Refuse(int cause) {
  errno = cause;
  return false;
}

}  // namespace

MakeDirectoryResult MakeDirectory(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  if (!host) return MakeDirectoryResult::Failed;
  if (mkdir(host->c_str(), 0777) == 0) return MakeDirectoryResult::Created;
  return errno == EEXIST ? MakeDirectoryResult::AlreadyExists : MakeDirectoryResult::Failed;
}

bool DeleteOneFile(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || lstat(host->c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return Refuse(EISDIR);
  if (IsReadOnlyFile(st)) return Refuse(EACCES);
  return unlink(host->c_str()) == 0;
}

bool RemoveEmptyDirectory(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || lstat(host->c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    struct stat target {};
    if (stat(host->c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return false;
    return unlink(host->c_str()) == 0;
  }
  return rmdir(host->c_str()) == 0;
}

bool CopyOneFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
  auto hostFrom = posix::ToHostPath(from);
  auto hostTo = posix::ToHostPath(to);
  if (!hostFrom || !hostTo) return false;
  posix::UniqueFd in(open(hostFrom->c_str(), O_RDONLY | O_CLOEXEC));
  struct stat source {};
  if (!in || fstat(in.Get(), &source) != 0) return false;
  if (!S_ISREG(source.st_mode)) return Refuse(S_ISDIR(source.st_mode) ? EISDIR : EINVAL);
  struct stat existing {};
  if (stat(hostTo->c_str(), &existing) == 0) {
    if (failIfExists) return Refuse(EEXIST);
    if (IsReadOnlyFile(existing)) return Refuse(EACCES);
    // Truncating the target would empty the source.
    if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) {
      return Refuse(EBUSY);
    }
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  posix::UniqueFd out(open(hostTo->c_str(), flags, source.st_mode & 0777));
  if (!out) return false;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = read(in.Get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!posix::WriteAll(out.Get(), buffer, static_cast<std::size_t>(got))) return false;
  }
  return out.Close();
}

struct DirectoryListing::Impl {
  DIR* dir = nullptr;
  ~Impl() {
    if (dir != nullptr) closedir(dir);
  }
};

DirectoryListing::DirectoryListing(const std::wstring& directory) : m_impl(new Impl) {
  if (auto host = posix::ToHostPath(directory)) m_impl->dir = opendir(host->c_str());
}

DirectoryListing::~DirectoryListing() = default;
DirectoryListing::DirectoryListing(DirectoryListing&&) noexcept = default;
DirectoryListing& DirectoryListing::operator=(DirectoryListing&&) noexcept = default;

bool DirectoryListing::IsOpen() const {
  return m_impl && m_impl->dir != nullptr;
}

bool DirectoryListing::Next(std::wstring& name) {
  if (!IsOpen()) return false;
  errno = 0;
  dirent* entry = readdir(m_impl->dir);
  if (entry == nullptr) return false;
  name = unicode::DecodeUtf8Replacing(entry->d_name, unicode::Utf8Rules::Shortest);
  return true;
}

}  // namespace os

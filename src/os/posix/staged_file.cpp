// Native backend of os::StagedFile, os::LinkFile and os::MakeWritable: one
// descriptor from an exclusive create to the rename, through the drive map.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "os/files.h"
#include "os/posix/drive_map.h"
#include "os/posix/native_file.h"

namespace os {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `hostPath` names the file open as `fd` (not a file put there since).
bool PathIsHeldFile(const std::string& hostPath, int fd) {
  struct stat named {};
  struct stat held {};
  return lstat(hostPath.c_str(), &named) == 0 && fstat(fd, &held) == 0 && SameFile(named, held);
}

}  // namespace

bool StagedFile::Create(const std::wstring& path) {
  Discard();
  auto host = posix::ToHostPath(path);
  if (!host) return false;
  // O_EXCL fails on any existing name, a dangling link included; 0600 keeps
  // every other user from opening it for writing.
  posix::UniqueFd fd(open(host->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return false;
  m_contents.m_file.reset(new NativeFile{std::move(fd)});
  m_path = path;
  m_moved = false;
  return true;
}

bool StagedFile::Write(const char* data, std::size_t size) {
  // Reads are positioned (pread), so the descriptor's offset is the end.
  return IsOpen() && !m_moved && posix::WriteAll(m_contents.m_file->fd.Get(), data, size);
}

bool StagedFile::FlushToDisk() {
  return IsOpen() && fsync(m_contents.m_file->fd.Get()) == 0;
}

bool StagedFile::MoveOver(const std::wstring& target) {
  if (!IsOpen() || m_moved) return false;
  auto from = posix::ToHostPath(m_path);
  auto to = posix::ToHostPath(target);
  int fd = m_contents.m_file->fd.Get();
  // A name no longer ours (deleted or swapped in the directory) is not moved.
  if (!from || !to || !PathIsHeldFile(*from, fd)) return false;
  // In place it is read by the service's user: the replaced file's mode, but
  // never writable by anyone but its owner.
  struct stat replaced {};
  mode_t mode = lstat(to->c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)
                    ? (replaced.st_mode & 0755)
                    : 0644;
  if (rename(from->c_str(), to->c_str()) != 0) return false;
  m_moved = true;
  m_path = target;
  // The check again after the move: whatever slipped in between the check
  // and the rename is now at `target`, and that is not a success.
  if (!PathIsHeldFile(*to, fd)) return false;
  fchmod(fd, mode);
  posix::SyncDirectoryOf(*to);
  return true;
}

void StagedFile::Discard() {
  if (IsOpen() && !m_moved) {
    // Only the held file's name is removed, never what another put there.
    auto host = posix::ToHostPath(m_path);
    if (host && PathIsHeldFile(*host, m_contents.m_file->fd.Get())) unlink(host->c_str());
  }
  m_contents.Close();
  m_path.clear();
  m_moved = false;
}

bool LinkFile(const std::wstring& existing, const std::wstring& newPath) {
  auto from = posix::ToHostPath(existing);
  auto to = posix::ToHostPath(newPath);
  // Without AT_SYMLINK_FOLLOW a link at `existing` is linked itself; the new
  // name is made, never followed.
  return from && to && linkat(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), 0) == 0;
}

bool MakeWritable(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  if (!host) return false;
  posix::UniqueFd fd(open(host->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || fstat(fd.Get(), &st) != 0) return false;
  return fchmod(fd.Get(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

}  // namespace os

// Native backend of os::StagedFile: one descriptor from an exclusive create
// to the rename, made and moved relative to a descriptor of its folder, so a
// folder renamed or replaced by a link in between changes nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"
#include "os/posix/native_file.h"

namespace os {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `name` in `folder` is the file open as `fd` (not a file put there since).
bool NameIsHeldFile(int folder, const std::string& name, int fd) {
  struct stat named {};
  struct stat held {};
  return fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(fd, &held) == 0 &&
         SameFile(named, held);
}

// The last part of a Windows-form path or a plain name.
std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring ParentOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return L".";
  return cut == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, cut);
}

}  // namespace

bool StagedFile::Create(const HeldFolder& folder, const std::wstring& name) {
  Discard();
  const auto level = posix::FolderEntryName(name);
  if (!folder.IsOpen() || !level) return false;
  posix::UniqueFd held(fcntl(posix::HeldFolderFd(folder), F_DUPFD_CLOEXEC, 0));
  if (!held) return false;
  posix::UniqueFd fd(
      openat(held.Get(), level->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return false;
  m_contents.m_file.reset(new NativeFile{std::move(fd)});
  m_folder.reset(new NativeFile{std::move(held)});
  m_path = folder.Path() + L"\\" + name;
  m_name = name;
  m_moved = false;
  return true;
}

bool StagedFile::Write(const char* data, std::size_t size) {
  // Reads are positioned (pread), so the descriptor's offset is the end.
  return IsOpen() && !m_moved && posix::WriteAll(m_contents.m_file->fd.Get(), data, size);
}

bool StagedFile::Truncate() {
  if (!IsOpen() || m_moved) return false;
  const int fd = m_contents.m_file->fd.Get();
  return ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0;
}

bool StagedFile::FlushToDisk() {
  return IsOpen() && fsync(m_contents.m_file->fd.Get()) == 0;
}

bool StagedFile::MoveOver(const std::wstring& target) {
  if (!IsOpen() || m_moved || !m_folder) return false;
  const int folder = m_folder->fd.Get();
  const auto from = posix::FolderEntryName(m_name);
  const std::wstring targetName = FileNameOf(target);
  const auto to = posix::FolderEntryName(targetName);
  const int fd = m_contents.m_file->fd.Get();
  // A name no longer ours (deleted or swapped in the directory) is not moved.
  if (!from || !to || !NameIsHeldFile(folder, *from, fd)) return false;
  // In place it is read by the service's user: the replaced file's mode, but
  // never writable by anyone but its owner.
  struct stat replaced {};
  mode_t mode =
      fstatat(folder, to->c_str(), &replaced, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(replaced.st_mode)
          ? (replaced.st_mode & 0755)
          : 0644;
  if (renameat(folder, from->c_str(), folder, to->c_str()) != 0) return false;
  m_moved = true;
  m_path = ParentOf(m_path) + L"\\" + targetName;
  m_name = targetName;
  // The check again after the move: whatever slipped in between the check
  // and the rename is now at `target`, and that is not a success.
  if (!NameIsHeldFile(folder, *to, fd)) return false;
  fchmod(fd, mode);
  fsync(folder);
  return true;
}

void StagedFile::Discard() {
  // Clean-up after a failure: the failure's reason stays the one reported.
  const LastErrorKeeper failure;
  if (IsOpen() && !m_moved && m_folder) {
    // Only the held file's name is removed, never what another put there.
    const auto name = posix::FolderEntryName(m_name);
    if (name && NameIsHeldFile(m_folder->fd.Get(), *name, m_contents.m_file->fd.Get())) {
      unlinkat(m_folder->fd.Get(), name->c_str(), 0);
    }
  }
  m_contents.Close();
  m_folder.reset();
  m_path.clear();
  m_name.clear();
  m_moved = false;
}

}  // namespace os

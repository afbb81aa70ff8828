// Native backend of the held folders: one descriptor per folder, opened with
// O_DIRECTORY|O_NOFOLLOW inside its parent's descriptor, and every operation
// in it made relative to that descriptor (openat, mkdirat, linkat, renameat).
#include "os/folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "os/folder_path.h"
#include "os/posix/drive_map.h"
#include "os/posix/native_file.h"
#include "unicode/utf8.h"

namespace os {

namespace {

using folder::IsSeparator;

// A single level's name: no separator, not empty, not "." or "..".
std::optional<std::string> LevelName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return std::nullopt;
  for (wchar_t c : name) {
    if (IsSeparator(c) || c == L'\0') return std::nullopt;
  }
  return unicode::EncodeUtf8(name);
}

int FdOf(const HeldFolder& folder) {
  return folder.IsOpen() ? folder.Native()->fd.Get() : -1;
}

// Why `name` inside `parent` could not be opened as a folder.
FolderOpenResult Classify(int parent, const std::string& name, int openError) {
  struct stat st {};
  if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? FolderOpenResult::Missing : FolderOpenResult::Failed;
  }
  if (S_ISLNK(st.st_mode)) return FolderOpenResult::Link;
  if (!S_ISDIR(st.st_mode)) return FolderOpenResult::NotAFolder;
  (void)openError;
  return FolderOpenResult::Failed;
}

FolderOpenResult OpenLevel(int parent, const std::string& name, posix::UniqueFd& out) {
  posix::UniqueFd fd(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return Classify(parent, name, errno);
  out = std::move(fd);
  return FolderOpenResult::Opened;
}

}  // namespace

FolderOpenResult HeldFolder::Open(const std::wstring& path) {
  Close();
  const auto read = folder::ReadFolderPath(path);
  if (!read) return FolderOpenResult::Failed;
  const auto drive = posix::DriveDirectory(read->drive);
  if (!drive) return FolderOpenResult::Missing;
  // The drive's own directory is the drive map's word, as a drive's root is
  // the system's on Windows.
  posix::UniqueFd current(open(drive->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!current) return FolderOpenResult::Missing;
  for (const std::wstring& level : read->levels) {
    const auto name = LevelName(level);
    if (!name) return FolderOpenResult::Failed;
    posix::UniqueFd next;
    if (const FolderOpenResult result = OpenLevel(current.Get(), *name, next);
        result != FolderOpenResult::Opened) {
      return result;
    }
    current = std::move(next);
  }
  std::wstring held = path;
  while (held.size() > 3 && IsSeparator(held.back())) held.pop_back();
  Hold(NativeFilePtr(new NativeFile{std::move(current)}), std::move(held));
  return FolderOpenResult::Opened;
}

FolderOpenResult HeldFolder::OpenIn(const HeldFolder& parent, const std::wstring& name) {
  const auto level = LevelName(name);
  if (!parent.IsOpen() || !level) return FolderOpenResult::Failed;
  posix::UniqueFd fd;
  if (const FolderOpenResult result = OpenLevel(FdOf(parent), *level, fd);
      result != FolderOpenResult::Opened) {
    return result;
  }
  Hold(NativeFilePtr(new NativeFile{std::move(fd)}), parent.Path() + L"\\" + name);
  return FolderOpenResult::Opened;
}

bool HeldFolder::OwnedByAdministrators() const {
  struct stat st {};
  // The program's own account counts too: what only it and root may write
  // gives it nothing it could not do anyway (a demo or test run as a user).
  return IsOpen() && fstat(Native()->fd.Get(), &st) == 0 &&
         (st.st_uid == 0 || st.st_uid == geteuid());
}

std::wstring HeldFolder::OwnerId() const {
  struct stat st {};
  if (!IsOpen() || fstat(Native()->fd.Get(), &st) != 0) return {};
  return std::to_wstring(st.st_uid);
}

bool IsFixedDrive(wchar_t letter) {
  return posix::DriveDirectory(letter).has_value();
}

EntryKind KindOfEntryIn(const HeldFolder& folder, const std::wstring& name) {
  const auto level = LevelName(name);
  struct stat st {};
  if (!folder.IsOpen() || !level ||
      fstatat(FdOf(folder), level->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return EntryKind::Missing;
  }
  if (S_ISLNK(st.st_mode)) return EntryKind::Link;
  if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
  if (S_ISREG(st.st_mode)) return EntryKind::File;
  return EntryKind::Other;
}

MakeDirectoryResult MakeFolderIn(const HeldFolder& folder, const std::wstring& name) {
  const auto level = LevelName(name);
  if (!folder.IsOpen() || !level) return MakeDirectoryResult::Failed;
  if (mkdirat(FdOf(folder), level->c_str(), 0755) == 0) return MakeDirectoryResult::Created;
  return errno == EEXIST ? MakeDirectoryResult::AlreadyExists : MakeDirectoryResult::Failed;
}

bool DeleteFileIn(const HeldFolder& folder, const std::wstring& name) {
  const auto level = LevelName(name);
  // Without AT_REMOVEDIR a folder is refused; a link is removed itself.
  return folder.IsOpen() && level && unlinkat(FdOf(folder), level->c_str(), 0) == 0;
}

bool LinkFileIn(const HeldFolder& from, const std::wstring& fromName, const HeldFolder& to,
                const std::wstring& toName) {
  const auto source = LevelName(fromName);
  const auto target = LevelName(toName);
  // Without AT_SYMLINK_FOLLOW a link at `fromName` is linked itself.
  return from.IsOpen() && to.IsOpen() && source && target &&
         linkat(FdOf(from), source->c_str(), FdOf(to), target->c_str(), 0) == 0;
}

bool ReplaceFileIn(const HeldFolder& folder, const std::wstring& fromName,
                   const std::wstring& toName) {
  const auto source = LevelName(fromName);
  const auto target = LevelName(toName);
  if (!folder.IsOpen() || !source || !target ||
      renameat(FdOf(folder), source->c_str(), FdOf(folder), target->c_str()) != 0) {
    return false;
  }
  // Best effort: the move has happened either way.
  fsync(FdOf(folder));
  return true;
}

bool MakeWritableIn(const HeldFolder& folder, const std::wstring& name) {
  const auto level = LevelName(name);
  if (!folder.IsOpen() || !level) return false;
  posix::UniqueFd fd(
      openat(FdOf(folder), level->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || fstat(fd.Get(), &st) != 0) return false;
  return fchmod(fd.Get(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool FolderLock::TryAcquire(const HeldFolder& folder) {
  m_lock.reset();
  if (!folder.IsOpen()) return false;
  // A descriptor of its own: the lock belongs to it and ends with it.
  posix::UniqueFd fd(fcntl(FdOf(folder), F_DUPFD_CLOEXEC, 0));
  if (!fd) return false;
  // flock locks the open file description; a dup shares it, so reopen.
  posix::UniqueFd own(openat(fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!own || flock(own.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  m_lock.reset(new NativeFile{std::move(own)});
  return true;
}

namespace posix {

int HeldFolderFd(const HeldFolder& folder) {
  return FdOf(folder);
}

std::optional<std::string> FolderEntryName(const std::wstring& name) {
  return LevelName(name);
}

}  // namespace posix

}  // namespace os

// Windows backend of the held folders: a handle per folder, opened with
// backup semantics and without following a reparse point, shared for reading
// and writing but never for deletion, so no one can rename, remove or replace
// the folder while it is held. With the folder (and the one above it) held,
// a full path through them names exactly these folders; each entry opened
// inside one is checked on its own handle to lie in the held folder.
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <utility>
#include <vector>

#include "os/folder.h"
#include "os/folder_path.h"
#include "os/win32/native_file.h"

namespace os {

namespace {

using folder::IsSeparator;

bool IsLevelName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (IsSeparator(c) || c == L'\0' || c == L':') return false;
  }
  return true;
}

std::wstring Inside(const HeldFolder& folder, const std::wstring& name) {
  return folder.Path() + L"\\" + name;
}

FolderOpenResult OpenFolderHandle(const std::wstring& path, win32::FileHandle& out) {
  win32::FileHandle handle(::CreateFileW(
      path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? FolderOpenResult::Missing
               : FolderOpenResult::Failed;
  }
  // Judged on what was opened, not on the name: a link swapped in between a
  // look at the name and the open is seen here.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.Get(), &info)) return FolderOpenResult::Failed;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return FolderOpenResult::Link;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FolderOpenResult::NotAFolder;
  out = std::move(handle);
  return FolderOpenResult::Opened;
}

// As the file system compares names: without regard to case.
bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool OwnerIsAdministrative(PSID owner) {
  if (owner == nullptr || !::IsValidSid(owner)) return false;
  if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
      ::IsWellKnownSid(owner, WinLocalSystemSid)) {
    return true;
  }
  PSID trustedInstaller = nullptr;
  if (!::ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                &trustedInstaller)) {
    return false;
  }
  const bool equal = ::EqualSid(owner, trustedInstaller) != FALSE;
  ::LocalFree(trustedInstaller);
  return equal;
}

}  // namespace

namespace win32 {

HANDLE HeldFolderHandle(const HeldFolder& folder) {
  return folder.IsOpen() ? folder.Native()->handle.Get() : INVALID_HANDLE_VALUE;
}

std::wstring FinalPath(HANDLE handle) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

bool IsEntryOf(HANDLE entry, HANDLE folder, const std::wstring& name) {
  std::wstring parent = FinalPath(folder);
  const std::wstring child = FinalPath(entry);
  if (parent.empty() || child.empty()) return false;
  if (!IsSeparator(parent.back())) parent += L'\\';
  if (child.size() != parent.size() + name.size()) return false;
  return SameText(child.substr(0, parent.size()), parent) &&
         SameText(child.substr(parent.size()), name);
}

}  // namespace win32

FolderOpenResult HeldFolder::Open(const std::wstring& path) {
  Close();
  const auto read = folder::ReadFolderPath(path);
  if (!read) return FolderOpenResult::Failed;
  win32::FileHandle current;
  std::wstring currentPath = {read->drive, L':', L'\\'};
  // The drive's root may well be a mount point; it is the system's word.
  {
    win32::FileHandle root(::CreateFileW(currentPath.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                         nullptr));
    if (!root) return FolderOpenResult::Missing;
    current = std::move(root);
  }
  for (const std::wstring& name : read->levels) {
    if (!IsLevelName(name)) return FolderOpenResult::Failed;
    const std::wstring nextPath =
        IsSeparator(currentPath.back()) ? currentPath + name : currentPath + L"\\" + name;
    win32::FileHandle next;
    if (const FolderOpenResult result = OpenFolderHandle(nextPath, next);
        result != FolderOpenResult::Opened) {
      return result;
    }
    if (!win32::IsEntryOf(next.Get(), current.Get(), name)) return FolderOpenResult::Failed;
    current = std::move(next);
    currentPath = nextPath;
  }
  Hold(NativeFilePtr(new NativeFile{std::move(current)}), std::move(currentPath));
  return FolderOpenResult::Opened;
}

FolderOpenResult HeldFolder::OpenIn(const HeldFolder& parent, const std::wstring& name) {
  if (!parent.IsOpen() || !IsLevelName(name)) return FolderOpenResult::Failed;
  win32::FileHandle handle;
  const std::wstring path = Inside(parent, name);
  if (const FolderOpenResult result = OpenFolderHandle(path, handle);
      result != FolderOpenResult::Opened) {
    return result;
  }
  if (!win32::IsEntryOf(handle.Get(), win32::HeldFolderHandle(parent), name)) {
    return FolderOpenResult::Failed;
  }
  Hold(NativeFilePtr(new NativeFile{std::move(handle)}), path);
  return FolderOpenResult::Opened;
}

bool HeldFolder::OwnedByAdministrators() const {
  if (!IsOpen()) return false;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(Native()->handle.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool administrative = OwnerIsAdministrative(owner);
  ::LocalFree(descriptor);
  return administrative;
}

std::wstring HeldFolder::OwnerId() const {
  if (!IsOpen()) return {};
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(Native()->handle.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring id;
  LPWSTR text = nullptr;
  if (owner != nullptr && ::ConvertSidToStringSidW(owner, &text)) {
    id = text;
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return id;
}

bool IsFixedDrive(wchar_t letter) {
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  return ::GetDriveTypeW(root) == DRIVE_FIXED;
}

EntryKind KindOfEntryIn(const HeldFolder& folder, const std::wstring& name) {
  if (!folder.IsOpen() || !IsLevelName(name)) return EntryKind::Missing;
  // The entry's own attributes: a link's, never its target's.
  const DWORD attributes = ::GetFileAttributesW(Inside(folder, name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::Missing;
  // Every reparse point counts as a link, whatever its tag, as it does when
  // a folder is opened: none is a plain entry the program may go through.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::Link;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryKind::Other;
  return EntryKind::File;
}

MakeDirectoryResult MakeFolderIn(const HeldFolder& folder, const std::wstring& name) {
  if (!folder.IsOpen() || !IsLevelName(name)) return MakeDirectoryResult::Failed;
  if (::CreateDirectoryW(Inside(folder, name).c_str(), nullptr))
    return MakeDirectoryResult::Created;
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? MakeDirectoryResult::AlreadyExists
                                                  : MakeDirectoryResult::Failed;
}

bool DeleteFileIn(const HeldFolder& folder, const std::wstring& name) {
  if (!folder.IsOpen() || !IsLevelName(name)) return false;
  const std::wstring path = Inside(folder, name);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // A directory link is removed itself; a real folder is not a file.
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           ::RemoveDirectoryW(path.c_str()) != FALSE;
  }
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool LinkFileIn(const HeldFolder& from, const std::wstring& fromName, const HeldFolder& to,
                const std::wstring& toName) {
  if (!from.IsOpen() || !to.IsOpen() || !IsLevelName(fromName) || !IsLevelName(toName)) {
    return false;
  }
  // Fails when anything, a link included, is at the new name.
  return ::CreateHardLinkW(Inside(to, toName).c_str(), Inside(from, fromName).c_str(), nullptr) !=
         FALSE;
}

bool ReplaceFileIn(const HeldFolder& folder, const std::wstring& fromName,
                   const std::wstring& toName) {
  if (!folder.IsOpen() || !IsLevelName(fromName) || !IsLevelName(toName)) return false;
  return ::MoveFileExW(Inside(folder, fromName).c_str(), Inside(folder, toName).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool MakeWritableIn(const HeldFolder& folder, const std::wstring& name) {
  if (!folder.IsOpen() || !IsLevelName(name)) return false;
  const std::wstring path = Inside(folder, name);
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
  return ::SetFileAttributesW(path.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) !=
         FALSE;
}

bool FolderLock::TryAcquire(const HeldFolder& folder) {
  m_lock.reset();
  if (!folder.IsOpen()) return false;
  // Unshared while held and gone with its last handle, a crash included; a
  // link of that name is opened (and deleted) itself, never followed.
  win32::FileHandle file(::CreateFileW(
      Inside(folder, L"wardkeep-update.lock").c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
      nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  m_lock.reset(new NativeFile{std::move(file)});
  return true;
}

}  // namespace os

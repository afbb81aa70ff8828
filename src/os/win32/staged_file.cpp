// Windows backend of os::StagedFile: one handle, shared for reading only,
// from the exclusive create to the rename.
#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"
#include "os/win32/native_file.h"

namespace os {
namespace {

// Renames the file behind `file` (opened with DELETE access), replacing
// `target`. The system's own error is left for the caller to look at.
bool RenameHeldFile(HANDLE file, const std::wstring& target) {
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, target.c_str(), nameBytes + sizeof(wchar_t));
  return ::SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != FALSE;
}

bool IsUnsupported(DWORD error) {
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Marks the file behind `file` for deletion once its last handle closes.
bool DeleteHeldFile(HANDLE file) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != FALSE;
}

std::wstring ParentOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

}  // namespace

bool StagedFile::Create(const HeldFolder& folder, const std::wstring& name) {
  Discard();
  if (!folder.IsOpen() || name.find_first_of(L"\\/:") != std::wstring::npos) return false;
  // By path through the held folder, which no one can rename or replace
  // meanwhile. CREATE_NEW fails on any existing name, a link included, and
  // never follows one. Shared for reading only: no other handle may write,
  // delete or rename it; a reader must itself share writing and deleting.
  const std::wstring path = folder.Path() + L"\\" + name;
  win32::FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  m_contents.m_file.reset(new NativeFile{std::move(file)});
  m_path = path;
  m_name = name;
  m_moved = false;
  // Then the handle's own word that it lies there.
  if (!win32::IsEntryOf(m_contents.m_file->handle.Get(), win32::HeldFolderHandle(folder), name)) {
    Discard();
    return false;
  }
  return true;
}

bool StagedFile::Truncate() {
  if (!IsOpen() || m_moved) return false;
  HANDLE file = m_contents.m_file->handle.Get();
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

bool StagedFile::Write(const char* data, std::size_t size) {
  // Positioned reads move the file pointer: each write goes to the end.
  return IsOpen() && !m_moved && win32::WriteAtEnd(m_contents.m_file->handle.Get(), data, size);
}

bool StagedFile::FlushToDisk() {
  return IsOpen() && ::FlushFileBuffers(m_contents.m_file->handle.Get()) != FALSE;
}

bool StagedFile::MoveOver(const std::wstring& targetName) {
  if (!IsOpen() || m_moved) return false;
  // Only the name counts: the move stays in the staged file's folder.
  const std::wstring target = ParentOf(m_path) + L"\\" + FileNameOf(targetName);
  win32::FileHandle& held = m_contents.m_file->handle;
  if (RenameHeldFile(held.Get(), target)) {
    ::FlushFileBuffers(held.Get());  // the new name, as far as the system lets it be forced
    // In place now: keep reading it, but no longer stand in the way of the
    // service that opens it without sharing deletion.
    HANDLE reader = ::ReOpenFile(held.Get(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (reader != INVALID_HANDLE_VALUE) held.Reset(reader);
  } else {
    if (!IsUnsupported(::GetLastError())) return false;
    // A system that cannot rename a handle: the move goes by name, which
    // needs this handle closed first, and the file is no longer held.
    m_contents.Close();
    if (!::MoveFileExW(m_path.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      // The move's reason is the one to report, not the clean-up's.
      const os::LastErrorKeeper moveFailure;
      ::DeleteFileW(m_path.c_str());
      m_path.clear();
      return false;
    }
    m_contents.Open(target);
  }
  m_moved = true;
  m_path = target;
  m_name = FileNameOf(target);
  return true;
}

void StagedFile::Discard() {
  // Clean-up after a failure: the failure's reason stays the one reported.
  const LastErrorKeeper failure;
  if (IsOpen() && !m_moved) DeleteHeldFile(m_contents.m_file->handle.Get());
  m_contents.Close();
  m_path.clear();
  m_name.clear();
  m_moved = false;
}

}  // namespace os

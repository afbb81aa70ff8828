// Windows backend of the read-only file: CreateFileW and positioned ReadFile,
// nothing else.
#include <windows.h>

#include <utility>

#include "os/files.h"
#include "os/folder.h"
#include "os/win32/native_file.h"

namespace os {

bool ReadOnlyFile::Open(const std::wstring& path) {
  Close();
  win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  m_file.reset(new NativeFile{std::move(file)});
  return true;
}

bool ReadOnlyFile::OpenIn(const HeldFolder& folder, const std::wstring& name) {
  Close();
  if (!folder.IsOpen() || name.find_first_of(L"\\/:") != std::wstring::npos) return false;
  // The entry itself: a link at the name is opened as a link and refused below.
  win32::FileHandle file(::CreateFileW((folder.Path() + L"\\" + name).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      !win32::IsEntryOf(file.Get(), win32::HeldFolderHandle(folder), name)) {
    return false;
  }
  m_file.reset(new NativeFile{std::move(file)});
  return true;
}

std::int64_t ReadOnlyFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !::GetFileSizeEx(m_file->handle.Get(), &size)) return -1;
  return size.QuadPart;
}

std::int64_t ReadOnlyFile::ReadAt(std::int64_t offset, char* data, std::size_t size) const {
  if (!IsOpen() || offset < 0) return -1;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
  DWORD got = 0;
  if (::ReadFile(m_file->handle.Get(), data, chunk, &got, &at)) return got;
  return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

}  // namespace os

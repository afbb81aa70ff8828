// Windows backend of os::AppendFile: one file handle, every write at the file's end.
#include <windows.h>

#include <utility>

#include "os/files.h"
#include "os/win32/native_file.h"

namespace os {

bool AppendFile::Open(const std::wstring& path) {
  Close();
  // Full write access (not append-only) so Truncate can cut the file; Write
  // moves to the end itself.
  win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  m_file.reset(new NativeFile{std::move(file)});
  return true;
}

std::int64_t AppendFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !::GetFileSizeEx(m_file->handle.Get(), &size)) return -1;
  return size.QuadPart;
}

bool AppendFile::Truncate() {
  if (!IsOpen()) return false;
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(m_file->handle.Get(), start, nullptr, FILE_BEGIN) &&
         ::SetEndOfFile(m_file->handle.Get());
}

bool AppendFile::Write(const char* data, std::size_t size) {
  return IsOpen() && win32::WriteAtEnd(m_file->handle.Get(), data, size);
}

namespace win32 {

bool WriteAtEnd(HANDLE file, const char* data, std::size_t size) {
  LARGE_INTEGER none{};
  if (!::SetFilePointerEx(file, none, nullptr, FILE_END)) return false;
  while (size > 0) {
    DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace win32

}  // namespace os

// Windows backend of os::AppendFile: one file handle, every write at the file's end.
#include <windows.h>

#include "os/files.h"

namespace os {
namespace {

HANDLE AsHandle(std::intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

}  // namespace

bool AppendFile::Open(const std::wstring& path) {
  Close();
  // Full write access (not append-only) so Truncate can cut the file; Write
  // moves to the end itself.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_native = reinterpret_cast<std::intptr_t>(file);
  return true;
}

std::int64_t AppendFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !::GetFileSizeEx(AsHandle(m_native), &size)) return -1;
  return size.QuadPart;
}

bool AppendFile::Truncate() {
  if (!IsOpen()) return false;
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(AsHandle(m_native), start, nullptr, FILE_BEGIN) &&
         ::SetEndOfFile(AsHandle(m_native));
}

bool AppendFile::Write(const char* data, std::size_t size) {
  if (!IsOpen()) return false;
  LARGE_INTEGER none{};
  if (!::SetFilePointerEx(AsHandle(m_native), none, nullptr, FILE_END)) return false;
  while (size > 0) {
    DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(AsHandle(m_native), data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

void AppendFile::Close() {
  if (!IsOpen()) return;
  ::CloseHandle(AsHandle(m_native));
  m_native = kClosed;
}

}  // namespace os

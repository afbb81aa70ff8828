// Windows backend of the files service: the W file and path functions, nothing else.
#include "os/files.h"

#include <windows.h>

#include "os/win32/native_file.h"

namespace os {

void NativeFileRelease::operator()(NativeFile* file) const noexcept {
  delete file;
}

bool DeleteOneFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace os

#pragma once
// Windows backend only: an os::NativeFile is one owned file handle.

#include <cstddef>

#include "os/files.h"
#include "os/win32/scoped_handle.h"

namespace os {

struct NativeFile {
  win32::FileHandle handle;
};

namespace win32 {

// All `size` bytes at the file's end, whatever positioned reads did to the
// file pointer; false on the first failing write.
bool WriteAtEnd(HANDLE file, const char* data, std::size_t size);

}  // namespace win32

}  // namespace os

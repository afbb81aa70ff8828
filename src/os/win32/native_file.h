#pragma once
// Windows backend only: an os::NativeFile is one owned file handle.

#include "os/files.h"
#include "os/win32/scoped_handle.h"

namespace os {

struct NativeFile {
  win32::FileHandle handle;
};

}  // namespace os

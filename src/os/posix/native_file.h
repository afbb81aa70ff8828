#pragma once
// Native backend only: an os::NativeFile is one owned descriptor.

#include "os/files.h"
#include "os/posix/unique_fd.h"

namespace os {

struct NativeFile {
  posix::UniqueFd fd;
};

}  // namespace os

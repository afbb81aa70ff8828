#pragma once
// Native backend only: an os::NativeFile is one owned descriptor.

#include <string>

#include "os/files.h"
#include "os/posix/unique_fd.h"

namespace os {

struct NativeFile {
  posix::UniqueFd fd;
};

namespace posix {

// Forces the directory holding `hostPath` to disk: a new name there is durable
// once the directory is.
bool SyncDirectoryOf(const std::string& hostPath);

}  // namespace posix

}  // namespace os

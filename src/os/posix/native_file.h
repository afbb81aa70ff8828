#pragma once
// Native backend only: an os::NativeFile is one owned descriptor.

#include <optional>
#include <string>

#include "os/files.h"
#include "os/posix/unique_fd.h"

namespace os {

struct NativeFile {
  posix::UniqueFd fd;
};

class HeldFolder;

namespace posix {

// The held folder's descriptor; -1 when nothing is held.
int HeldFolderFd(const HeldFolder& folder);

// `name` as one level inside a folder (UTF-8); nothing for an empty name, "."
// or "..", or one with a separator.
std::optional<std::string> FolderEntryName(const std::wstring& name);

}  // namespace posix

}  // namespace os

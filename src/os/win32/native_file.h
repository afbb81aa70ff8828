#pragma once
// Windows backend only: an os::NativeFile is one owned file handle.

#include <cstddef>
#include <string>

#include "os/files.h"
#include "os/win32/scoped_handle.h"

namespace os {

struct NativeFile {
  win32::FileHandle handle;
};

class HeldFolder;

namespace win32 {

// The held folder's handle; INVALID_HANDLE_VALUE when nothing is held.
HANDLE HeldFolderHandle(const HeldFolder& folder);

// The path the system resolves the open handle to (normalized, drive form);
// empty when it cannot say.
std::wstring FinalPath(HANDLE handle);

// True when the object open as `entry` is `name` directly inside the folder
// open as `folder`: what was opened by a path through held folders is where
// the path said.
bool IsEntryOf(HANDLE entry, HANDLE folder, const std::wstring& name);

// All `size` bytes at the file's end, whatever positioned reads did to the
// file pointer; false on the first failing write.
bool WriteAtEnd(HANDLE file, const char* data, std::size_t size);

}  // namespace win32

}  // namespace os

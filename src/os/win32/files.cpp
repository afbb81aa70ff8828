// Windows backend of the files service: the W file and path functions, nothing else.
#include "os/files.h"

#include <windows.h>

#include "os/win32/native_file.h"

namespace os {

void NativeFileRelease::operator()(NativeFile* file) const noexcept {
  delete file;
}

FileStatus StatusOf(const std::wstring& path) {
  // The entry's own attributes: a link's, never its target's.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  FileStatus status;
  // Every reparse point counts as a link, whatever its tag, as it does for
  // the held folders: none is a plain entry the program may go through.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    status.kind = EntryKind::Link;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.kind = EntryKind::Folder;
  } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    status.kind = EntryKind::Other;
  } else {
    status.kind = EntryKind::File;
  }
  status.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return status;
}

bool DeleteOneFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace os

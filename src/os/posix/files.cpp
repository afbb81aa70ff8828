// Native backend of the files service: POSIX calls through the drive map.
#include "os/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "os/posix/drive_map.h"

namespace os {

std::uint32_t FileAttributes(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || lstat(host->c_str(), &st) != 0) return kInvalidFileAttributes;
  std::uint32_t attributes = 0;
  if (S_ISLNK(st.st_mode)) {
    attributes |= kAttributeReparsePoint;
    struct stat target {};
    if (stat(host->c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
      attributes |= kAttributeDirectory;
    }
  } else if (S_ISDIR(st.st_mode)) {
    attributes |= kAttributeDirectory;
  }
  if (access(host->c_str(), W_OK) != 0 && geteuid() != 0) attributes |= kAttributeReadOnly;
  return attributes;
}

bool PathExists(const std::wstring& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  return host && stat(host->c_str(), &st) == 0;
}

std::wstring PathFileNamePart(const std::wstring& path) {
  std::size_t cut = path.find_last_of(L"\\/:");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

}  // namespace os

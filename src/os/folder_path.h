#pragma once
// For the folder backends only: how a drive's folder path reads, the same on
// both targets, before each backend opens its levels one inside the other.

#include <optional>
#include <string>
#include <vector>

namespace os::folder {

struct FolderPath {
  wchar_t drive = L'\0';
  // The levels below the drive's root, in order; empty ones (doubled or
  // trailing separators) are left out, and nothing else is judged here.
  std::vector<std::wstring> levels;
};

bool IsSeparator(wchar_t c);

// "D:\orv\x" as drive and levels; nothing when `path` does not start with a
// drive's root ("D:\" or "D:/").
std::optional<FolderPath> ReadFolderPath(const std::wstring& path);

}  // namespace os::folder

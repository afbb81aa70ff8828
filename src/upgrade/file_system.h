#pragma once
// File-system helpers of the upgrade, on Windows-form wide paths.

#include <string>

namespace upgrade {

// True when the path names an existing directory (or a link to one).
bool DirectoryExists(const std::wstring& path);

// Creates the directory and every missing parent. True when it exists at the
// end (a file of that name counts); false after printing one failure line.
bool CreateDirectoryTree(const std::wstring& path);

// Deletes a file, a link, or a directory tree deepest first. A link to a
// directory is removed itself, never followed. False only when nothing is
// at the path; what could not be deleted stays, unreported.
bool DeletePathTree(const std::wstring& path);

}  // namespace upgrade

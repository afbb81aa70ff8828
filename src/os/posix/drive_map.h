#pragma once
// Native backend only: the program speaks Windows paths; the host has one tree.
// A drive letter maps to a host directory named by WARDKEEP_DRIVE_<letter>
// (C: is "/" when unset; other drives are absent when unset). Backslashes and
// slashes both separate.

#include <optional>
#include <string>

namespace os::posix {

// Host path for a Windows-form path. "D:\a\b" -> "<D dir>/a/b"; a path with no
// drive is taken relative to the working directory ("a\b" -> "a/b"), a rooted
// one ("\a") is on C:. Nothing for an absent drive or a network path, with
// ENOENT left as the cause: to every caller such a path leads nowhere.
std::optional<std::string> ToHostPath(const std::wstring& windowsPath);

// The directory a drive letter ('C') maps to, or nothing when it is absent.
std::optional<std::string> DriveDirectory(wchar_t letter);

// Windows-form path for an absolute host path: the mapped drive whose directory
// is the longest prefix wins. Empty when no drive holds it.
std::wstring ToWindowsPath(const std::string& hostPath);

}  // namespace os::posix

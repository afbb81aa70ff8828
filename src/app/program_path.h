#pragma once
// The running program's own path, as the platform reports it.

#include <string>

namespace app {

// The program's full path cut after its last backslash (only a backslash
// counts); empty when there is none.
std::wstring GetExeDirectory();
// The file-name part of the program's path.
std::wstring GetExeFileName();
// The same cut on any path, for the start-up code and its tests.
std::wstring DirectoryWithTrailingBackslash(const std::wstring& path);

}  // namespace app

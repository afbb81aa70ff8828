#pragma once
// The running program's own path, as the autostart entry names it.

#include <string>

namespace app {

// The program's full path: its folder (the one the update run downloads into)
// joined with its file name; empty when that folder is unknown, as for a path
// the platform gave cut short.
std::wstring AutostartProgramPath();

}  // namespace app

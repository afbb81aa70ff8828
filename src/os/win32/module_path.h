#pragma once
// Windows backend only: the program's path read into a buffer of a given
// size, so that a path longer than the buffer can be tried without a
// directory deeper than Wine or Windows will start a program from.

#include <windows.h>

#include "os/session_primitives.h"

namespace os::win32 {

// At most `capacity` - 1 characters; `whole` is false when the path did not fit.
session::ProgramPathReading ReadProgramPathWithin(DWORD capacity);

}  // namespace os::win32

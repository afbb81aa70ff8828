#pragma once
// Windows backend only: the program's path read into a buffer of a given
// size, so that a path longer than the buffer can be tried without a
// directory deeper than Wine or Windows will start a program from.

#include <windows.h>

#include "os/session.h"

namespace os::win32 {

// At most `capacity` - 1 characters; `whole` is false when the path did not fit.
ModulePath ReadModulePathWithin(DWORD capacity);

}  // namespace os::win32

#pragma once
// Windows backend only: the window that owns the program's own message boxes,
// registered by the front end while its dialog exists.

#include <windows.h>

namespace os::win32 {

// Null removes the owner; boxes then have none.
void SetMessageBoxOwner(HWND owner);
HWND MessageBoxOwner();

}  // namespace os::win32

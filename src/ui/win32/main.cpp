// Windows front end: the program's entry.
#include <windows.h>

#include "app/wardkeep_app.h"
#include "os/session.h"
#include "ui/win32/win32_dialog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything can load a library from the program's folder.
  os::RestrictLibrarySearch();
  try {
    ui::win32::Win32Dialog host(instance);
    CwardkeepApp application(host);
    application.InitInstance();
  } catch (...) {
    // Nothing is reported: the program has no log and the window is gone.
  }
  return 0;
}

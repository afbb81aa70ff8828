// A library with no code of its own: what someone could leave beside the
// program under the name of one it loads.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}

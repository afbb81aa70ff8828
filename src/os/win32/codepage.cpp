// Windows backend of the code-page service: MultiByteToWideChar / WideCharToMultiByte on CP_ACP.
#include "os/codepage.h"

#include <windows.h>

namespace os {

int AnsiToWideUnits(const char* ansi, wchar_t* out, int outUnits) {
  if (ansi == nullptr) return 0;
  if (out == nullptr) outUnits = 0;
  return ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, out, outUnits);
}

int WideToAnsiBytes(const wchar_t* wide, char* out, int outBytes) {
  if (wide == nullptr) return 0;
  if (out == nullptr) outBytes = 0;
  return ::WideCharToMultiByte(CP_ACP, 0, wide, -1, out, outBytes, nullptr, nullptr);
}

}  // namespace os

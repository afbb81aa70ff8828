// Windows backend of the process's rights: the token's elevation.
#include <windows.h>

#include "os/session.h"
#include "os/win32/scoped_handle.h"

namespace os {

ProcessRights CurrentProcessRights() {
  win32::KernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
    return ProcessRights::Standard;
  }
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (::GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size) &&
      type == TokenElevationTypeLimited) {
    return ProcessRights::Filtered;
  }
  // Full, or Default: an administrator without the approval mode (UAC off, or
  // the built-in account) is elevated; any other default token is a user's.
  TOKEN_ELEVATION elevation{};
  if (::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
      elevation.TokenIsElevated != 0) {
    return ProcessRights::Full;
  }
  return ProcessRights::Standard;
}

}  // namespace os

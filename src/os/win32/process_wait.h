#pragma once
// Windows backend only: the bounded wait both process launchers share.

#include <windows.h>

#include "os/processes.h"

namespace os::win32 {

// Waits for the process; one still running at the deadline is ended.
inline LaunchResult WaitOrTerminate(HANDLE process, unsigned timeoutMilliseconds) {
  if (::WaitForSingleObject(process, timeoutMilliseconds) != WAIT_TIMEOUT) {
    return LaunchResult::Ended;
  }
  ::TerminateProcess(process, 1);
  ::WaitForSingleObject(process, 5000);
  return LaunchResult::TimedOut;
}

}  // namespace os::win32

// Windows backend of "launch hidden and wait": ShellExecuteExW, a bounded wait, TerminateProcess.
#include "os/processes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "os/win32/process_wait.h"
#include "os/win32/scoped_handle.h"

namespace os {

LaunchResult LaunchHiddenAndWait(const std::wstring& program, const std::wstring& parameters,
                                 unsigned timeoutMilliseconds) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // No shell error box: a launch failure is a result here, and a box would
  // block the caller until someone closed it.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info)) return LaunchResult::NotStarted;
  win32::KernelHandle process(info.hProcess);
  // The shell may hand the file to a running program and give no process back;
  // there is then nothing to wait for.
  if (!process) return LaunchResult::Ended;
  return win32::WaitOrTerminate(process.Get(), timeoutMilliseconds);
}

}  // namespace os

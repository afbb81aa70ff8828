// Windows backend of "run a command line and wait": CreateProcessW and a bounded wait.
#include <windows.h>

#include <vector>

#include "os/processes.h"
#include "os/win32/process_wait.h"
#include "os/win32/scoped_handle.h"

namespace os {

LaunchResult RunCommandLineAndWait(const std::wstring& commandLine, unsigned timeoutMilliseconds) {
  // CreateProcessW may write into the command line while parsing it.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return LaunchResult::NotStarted;
  }
  // Declared thread first so the process handle closes first.
  win32::KernelHandle thread(info.hThread);
  win32::KernelHandle process(info.hProcess);
  return win32::WaitOrTerminate(process.Get(), timeoutMilliseconds);
}

}  // namespace os

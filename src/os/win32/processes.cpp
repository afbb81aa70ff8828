// Windows backend of the process primitives: CreateProcessW with the system
// directory's program as the application, a bounded wait, TerminateProcess.
#include <windows.h>

#include <vector>

#include "os/process_primitives.h"
#include "os/win32/scoped_handle.h"

namespace os::process {

struct Child {
  win32::KernelHandle process;
};

void ChildRelease::operator()(Child* child) const noexcept {
  delete child;
}

namespace {

// `application` is the program's whole path: nothing is searched for.
ChildPtr CreateChild(const wchar_t* application, const std::wstring& commandLine) {
  // CreateProcessW may write into the command line while parsing it.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return {};
  }
  win32::KernelHandle thread(info.hThread);
  return ChildPtr(new Child{win32::KernelHandle(info.hProcess)});
}

}  // namespace

ChildPtr StartSystemProgram(const std::wstring& program, const std::wstring& arguments) {
  wchar_t directory[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  // Named as the application, the program is never searched for; the command
  // line is what the program sees as its own.
  std::wstring application = std::wstring(directory, length) + L"\\" + program + L".exe";
  std::wstring commandLine = arguments.empty() ? program : program + L" " + arguments;
  return CreateChild(application.c_str(), commandLine);
}

bool WaitForExit(Child& child, unsigned timeoutMilliseconds) {
  return ::WaitForSingleObject(child.process.Get(), timeoutMilliseconds) != WAIT_TIMEOUT;
}

void Kill(Child& child) {
  ::TerminateProcess(child.process.Get(), 1);
  ::WaitForSingleObject(child.process.Get(), 5000);
}

}  // namespace os::process

// Windows backend of the process primitives: ShellExecuteExW, CreateProcessW
// (searched, or the system directory's program by its full path), a bounded
// wait, TerminateProcess.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

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

Started StartHidden(const std::wstring& program, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // No shell error box: a launch failure is a result here, and a box would
  // block the caller until someone closed it.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info)) return std::nullopt;
  // The shell may hand the file to a running program and give no process back.
  if (info.hProcess == nullptr) return ChildPtr();
  return ChildPtr(new Child{win32::KernelHandle(info.hProcess)});
}

namespace {

// `application` is the program's whole path: nothing is searched for.
Started CreateChild(const wchar_t* application, const std::wstring& commandLine) {
  // CreateProcessW may write into the command line while parsing it.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return std::nullopt;
  }
  win32::KernelHandle thread(info.hThread);
  return ChildPtr(new Child{win32::KernelHandle(info.hProcess)});
}

}  // namespace

Started StartSystemProgram(const std::wstring& program, const std::wstring& arguments) {
  wchar_t directory[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
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

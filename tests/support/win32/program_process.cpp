// Win32 test helper: a program started as a process of its own.
#include "support/win32/program_process.h"

#include <filesystem>
#include <vector>

#include "support/win32/dialog_probe.h"

namespace testing_support::win32 {

ProgramProcess::ProgramProcess(const std::wstring& path) {
  std::vector<wchar_t> commandLine(path.begin(), path.end());
  commandLine.insert(commandLine.begin(), L'"');
  commandLine.push_back(L'"');
  commandLine.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring directory = std::filesystem::path(path).parent_path().wstring();
  if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       directory.c_str(), &startup, &info)) {
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
  }
}

ProgramProcess::~ProgramProcess() {
  if (m_process == nullptr) return;
  if (Running()) ::TerminateProcess(m_process, 1);
  ::WaitForSingleObject(m_process, 10000);
  ::CloseHandle(m_process);
}

bool ProgramProcess::Running() const {
  return ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

bool ProgramProcess::WaitForEnd(DWORD milliseconds) const {
  return ::WaitForSingleObject(m_process, milliseconds) == WAIT_OBJECT_0;
}

HWND ProgramProcess::Dialog() const {
  return FindStatusDialog(m_id);
}

}  // namespace testing_support::win32

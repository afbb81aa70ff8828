#pragma once
// One started copy of a Windows program, its directory as working directory;
// ended (hard) if the test leaves it running.

#include <windows.h>

#include <string>

namespace testing_support::win32 {

class ProgramProcess {
 public:
  explicit ProgramProcess(const std::wstring& path);
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return m_process != nullptr; }
  DWORD Id() const { return m_id; }
  bool Running() const;
  bool WaitForEnd(DWORD milliseconds) const;
  // Its status dialog, or null.
  HWND Dialog() const;

 private:
  HANDLE m_process = nullptr;
  DWORD m_id = 0;
};

}  // namespace testing_support::win32

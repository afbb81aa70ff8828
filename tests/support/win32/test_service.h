#pragma once
// A demand-start service of the given name in the prefix's service manager,
// run by the Windows suite's own serving helper (it runs until stopped, at
// most a minute). Stopped and deleted at the end of the scope.

#include <windows.h>

#include <string>

namespace testing_support::win32 {

class TestService {
 public:
  TestService(const std::wstring& name, const std::wstring& serverProgram);
  ~TestService();
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  // Empty when registered; otherwise the error code.
  const std::string& Error() const { return m_error; }

  bool Start();
  // Asks it to stop and waits until it has.
  bool Stop();
  // Current state (SERVICE_RUNNING ...) and process, 0 on failure.
  DWORD State() const;
  DWORD ProcessId() const;
  bool WaitForState(DWORD state) const;
  // From now on its process ends at once, before it reports to the manager,
  // as a service whose program cannot start does.
  bool ExitAtOnce();

 private:
  SC_HANDLE m_manager = nullptr;
  SC_HANDLE m_service = nullptr;
  std::wstring m_program;
  std::string m_error;
};

}  // namespace testing_support::win32

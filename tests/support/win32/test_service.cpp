// Win32 test helper: a service of our own in Wine's service manager.
#include "support/win32/test_service.h"

namespace testing_support::win32 {
namespace {

SERVICE_STATUS_PROCESS Status(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (service == nullptr ||
      !::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed)) {
    return {};
  }
  return status;
}

}  // namespace

TestService::TestService(const std::wstring& name, const std::wstring& serverProgram)
    : m_program(serverProgram) {
  m_manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (m_manager == nullptr) {
    m_error = "OpenSCManagerW: " + std::to_string(::GetLastError());
    return;
  }
  std::wstring binary = L"\"" + serverProgram +
                        L"\" --gtest_also_run_disabled_tests "
                        L"--gtest_filter=Win32ServiceProcess.DISABLED_Serve";
  m_service =
      ::CreateServiceW(m_manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (m_service == nullptr) m_error = "CreateServiceW: " + std::to_string(::GetLastError());
}

TestService::~TestService() {
  if (m_service != nullptr) {
    Stop();
    ::DeleteService(m_service);
    ::CloseServiceHandle(m_service);
  }
  if (m_manager != nullptr) ::CloseServiceHandle(m_manager);
}

bool TestService::ExitAtOnce() {
  // A filter that matches no test: the suite's program ends without serving.
  std::wstring binary = L"\"" + m_program + L"\" --gtest_filter=NoSuchSuite.NoSuchTest";
  return ::ChangeServiceConfigW(m_service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr) != FALSE;
}

bool TestService::Start() {
  return ::StartServiceW(m_service, 0, nullptr) && WaitForState(SERVICE_RUNNING);
}

bool TestService::Stop() {
  if (State() == SERVICE_STOPPED) return true;
  SERVICE_STATUS status{};
  ::ControlService(m_service, SERVICE_CONTROL_STOP, &status);
  return WaitForState(SERVICE_STOPPED);
}

DWORD TestService::State() const {
  return Status(m_service).dwCurrentState;
}

DWORD TestService::ProcessId() const {
  return Status(m_service).dwProcessId;
}

bool TestService::WaitForState(DWORD state) const {
  for (int i = 0; i < 300; ++i) {
    if (State() == state) return true;
    ::Sleep(100);
  }
  return false;
}

}  // namespace testing_support::win32

// The services backend against the real service manager, with a service of
// our own: this test program, started by the manager to run the disabled
// helper test below.
#include "os/services.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "os/errors.h"
#include "os/session.h"

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING);
    ::SetEvent(g_stop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_statusHandle = ::RegisterServiceCtrlHandlerExW(L"", Control, nullptr);
  g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(g_stop, 60000);
  Report(SERVICE_STOPPED);
}

// Service side: runs until the manager stops it (at most a minute).
TEST(Win32ServiceProcess, DISABLED_Serve) {
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  ::StartServiceCtrlDispatcherW(table);
}

class Win32Services : public testing::Test {
 protected:
  void SetUp() override {
    m_manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(m_manager, nullptr);
    std::wstring binary = L"\"" + os::OwnProgramPath().value() +
                          L"\" --gtest_also_run_disabled_tests "
                          L"--gtest_filter=Win32ServiceProcess.DISABLED_Serve";
    m_service =
        ::CreateServiceW(m_manager, m_name.c_str(), m_name.c_str(), SERVICE_ALL_ACCESS,
                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                         binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_service, nullptr) << ::GetLastError();
  }
  void TearDown() override {
    if (m_service != nullptr) {
      SERVICE_STATUS status{};
      ::ControlService(m_service, SERVICE_CONTROL_STOP, &status);
      ::DeleteService(m_service);
      ::CloseServiceHandle(m_service);
    }
    if (m_manager != nullptr) ::CloseServiceHandle(m_manager);
  }

  bool WaitForState(os::ServiceState wanted) const {
    for (int i = 0; i < 300; ++i) {
      if (os::QueryServiceState(m_name) == wanted) return true;
      ::Sleep(100);
    }
    return false;
  }

  const std::wstring m_name = L"wardkeep-test-" + std::to_wstring(::GetCurrentProcessId());
  SC_HANDLE m_manager = nullptr;
  SC_HANDLE m_service = nullptr;
};

TEST_F(Win32Services, AStoppedServiceIsStartedAndThenReportedRunning) {
  EXPECT_EQ(os::QueryServiceState(m_name), os::ServiceState::Stopped);
  EXPECT_TRUE(os::CanControlService(m_name));
  EXPECT_TRUE(os::StartServiceByName(m_name));
  EXPECT_TRUE(WaitForState(os::ServiceState::Running));
  // A running service refuses a second start, and says why.
  os::ClearLastError();
  EXPECT_FALSE(os::StartServiceByName(m_name));
  EXPECT_EQ(os::LastError().code, ERROR_SERVICE_ALREADY_RUNNING);
}

// The manager's refusals, each with the cause it gives.
TEST_F(Win32Services, ARefusedStartSaysWhy) {
  ASSERT_TRUE(::ChangeServiceConfigW(m_service, SERVICE_NO_CHANGE, SERVICE_DISABLED,
                                     SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr));
  os::ClearLastError();
  EXPECT_FALSE(os::StartServiceByName(m_name));
  EXPECT_EQ(os::LastError().code, ERROR_SERVICE_DISABLED);
  EXPECT_EQ(os::QueryServiceState(m_name), os::ServiceState::Stopped);
}

}  // namespace

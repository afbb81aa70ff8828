// Windows backend of the services service: the Service Control Manager calls,
// the manager and the service opened and closed (service first) inside each one.
#include "os/services.h"

#include <windows.h>

#include "os/win32/scoped_handle.h"

namespace os {
namespace {

// The local machine's manager and one service in it, closed service first.
// The failing call's error is kept across the closes, so that it is the
// cause the caller reads.
struct OpenedService {
  win32::ServiceManagerHandle manager;
  win32::ServiceManagerHandle service;
  DWORD error = ERROR_SUCCESS;

  OpenedService(const std::wstring& name, DWORD rights) {
    // Connect only, the least rights: a filtered administrator's token
    // still gets it.
    manager.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
      error = ::GetLastError();
      return;
    }
    service.Reset(::OpenServiceW(manager.Get(), name.c_str(), rights));
    if (!service) error = ::GetLastError();
  }
  OpenedService(const OpenedService&) = delete;
  OpenedService& operator=(const OpenedService&) = delete;
  ~OpenedService() {
    service.Reset();
    manager.Reset();
    if (error != ERROR_SUCCESS) ::SetLastError(error);
  }

  // Takes the error of the call that just failed.
  void Failed() { error = ::GetLastError(); }
};

ServiceState FromPlatformState(DWORD state) {
  switch (state) {
    case SERVICE_RUNNING:
      return ServiceState::Running;
    case SERVICE_STOPPED:
      return ServiceState::Stopped;
    case SERVICE_START_PENDING:
    case SERVICE_STOP_PENDING:
    case SERVICE_CONTINUE_PENDING:
    case SERVICE_PAUSE_PENDING:
    case SERVICE_PAUSED:
      return ServiceState::Pending;
    default:
      ::SetLastError(ERROR_INVALID_DATA);
      return ServiceState::Unreadable;
  }
}

}  // namespace

ServiceState QueryServiceState(const std::wstring& name) {
  OpenedService opened(name, SERVICE_QUERY_STATUS);
  if (!opened.manager) return ServiceState::NoManager;
  if (!opened.service) return ServiceState::NoService;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(opened.service.Get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
    opened.Failed();
    return ServiceState::Unreadable;
  }
  const ServiceState state = FromPlatformState(status.dwCurrentState);
  if (state == ServiceState::Unreadable) opened.Failed();
  return state;
}

bool StartServiceByName(const std::wstring& name) {
  OpenedService opened(name, SERVICE_START);
  if (!opened.service) return false;
  if (!::StartServiceW(opened.service.Get(), 0, nullptr)) {
    opened.Failed();
    return false;
  }
  return true;
}

bool CanControlService(const std::wstring& name) {
  const OpenedService opened(name, SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS);
  return static_cast<bool>(opened.service);
}

}  // namespace os

// Windows backend of the services service: the Service Control Manager calls, one per operation.
#include "os/services.h"

#include <windows.h>

#include "os/win32/scoped_handle.h"

namespace os {

struct NativeService {
  win32::ServiceManagerHandle handle;
};

void NativeServiceRelease::operator()(NativeService* service) const noexcept {
  delete service;
}

namespace {

// Empty when the open failed.
ServiceHandle Own(SC_HANDLE opened) {
  if (opened == nullptr) return ServiceHandle();
  return ServiceHandle(new NativeService{win32::ServiceManagerHandle(opened)});
}

SC_HANDLE AsServiceHandle(const ServiceHandle& handle) {
  return handle.Native()->handle.Get();
}

}  // namespace

ServiceHandle OpenServiceManager() {
  return Own(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
}

ServiceHandle OpenNamedService(const ServiceHandle& manager, const std::wstring& name,
                               ServiceAccess access) {
  if (!manager) return ServiceHandle();
  DWORD rights = SERVICE_QUERY_STATUS;
  if (access == ServiceAccess::Start) rights = SERVICE_START;
  if (access == ServiceAccess::Control)
    rights = SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS;
  return Own(::OpenServiceW(AsServiceHandle(manager), name.c_str(), rights));
}

bool QueryServiceState(const ServiceHandle& service, ServiceState& state) {
  if (!service) return false;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(AsServiceHandle(service), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
    return false;
  }
  state = static_cast<ServiceState>(status.dwCurrentState);
  return true;
}

bool RequestServiceStart(const ServiceHandle& service) {
  return service && ::StartServiceW(AsServiceHandle(service), 0, nullptr) != FALSE;
}

}  // namespace os

// Windows backend of the services service: the Service Control Manager calls, one per operation.
#include "os/services.h"

#include <windows.h>

#include "os/win32/scoped_handle.h"

namespace os {
namespace {

SC_HANDLE AsServiceHandle(const ServiceHandle& handle) {
  return static_cast<SC_HANDLE>(handle.Raw());
}

}  // namespace

void ServiceHandle::Reset() {
  win32::ServiceManagerHandle closing(static_cast<SC_HANDLE>(std::exchange(m_raw, nullptr)));
}

ServiceHandle OpenServiceManager() {
  return ServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

ServiceHandle OpenNamedService(const ServiceHandle& manager, const std::wstring& name,
                               ServiceAccess access) {
  if (!manager) return ServiceHandle();
  DWORD rights = access == ServiceAccess::Start ? SERVICE_START : SERVICE_QUERY_STATUS;
  return ServiceHandle(::OpenServiceW(AsServiceHandle(manager), name.c_str(), rights));
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

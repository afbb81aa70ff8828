#pragma once
// The platform's service manager, one operation per call: open the manager,
// open a service, read its state, ask it to start. Handles close themselves;
// the caller decides what a failure means and what the user is shown.

#include <memory>
#include <string>

namespace os {

// A service's current state, numbered as the platform numbers it.
enum class ServiceState : unsigned {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

// What a service is opened for; each open asks for these rights only.
// Control is stop, start and query status: what replacing a service's files
// needs, asked for before anything is changed.
enum class ServiceAccess { QueryStatus, Start, Control };

// What the backend keeps for an open manager or service (a handle, a unit
// name), released with it; defined by the backend so no OS type reaches this
// header.
struct NativeService;
struct NativeServiceRelease {
  void operator()(NativeService* service) const noexcept;
};

// An open service manager or service. Empty when the open failed; closed by the
// destructor (declare the manager first so the service closes before it).
class ServiceHandle {
 public:
  ServiceHandle() = default;
  explicit ServiceHandle(NativeService* opened) : m_native(opened) {}

  explicit operator bool() const { return m_native != nullptr; }
  // The backend's own state; null when empty.
  NativeService* Native() const { return m_native.get(); }
  // Closes the handle now.
  void Reset() { m_native.reset(); }

 private:
  std::unique_ptr<NativeService, NativeServiceRelease> m_native;
};

// The local machine's service manager, opened to connect only (the least
// rights: a filtered administrator's token still gets it). Empty when it cannot
// be opened (no manager reachable).
ServiceHandle OpenServiceManager();

// One service by its key name. Empty when there is no such service or the
// access is refused (natively: Control when systemctl does not report that the
// unit can be both started and stopped).
ServiceHandle OpenNamedService(const ServiceHandle& manager, const std::wstring& name,
                               ServiceAccess access);

// A service together with the manager it was opened through, closed service
// first. `service` is empty when either open failed; `manager` tells which.
struct OpenedService {
  ServiceHandle manager;
  ServiceHandle service;
};
OpenedService OpenServiceWithManager(const std::wstring& name, ServiceAccess access);

// The service's current state; false when it cannot be read.
bool QueryServiceState(const ServiceHandle& service, ServiceState& state);

// Asks the manager to start the service with no arguments; true when the
// request was accepted (not that the service is running yet).
bool RequestServiceStart(const ServiceHandle& service);

}  // namespace os

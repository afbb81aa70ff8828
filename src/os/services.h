#pragma once
// The platform's service manager, one operation per call: open the manager,
// open a service, read its state, ask it to start. Handles close themselves;
// the caller decides what a failure means and what the user is shown.

#include <string>
#include <utility>

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

// What a service is opened for.
enum class ServiceAccess { QueryStatus, Start };

// An open service manager or service. Empty when the open failed; closed by the
// destructor (declare the manager first so the service closes before it).
class ServiceHandle {
 public:
  ServiceHandle() = default;
  explicit ServiceHandle(void* raw) : m_raw(raw) {}
  ~ServiceHandle() { Reset(); }
  ServiceHandle(ServiceHandle&& other) noexcept : m_raw(std::exchange(other.m_raw, nullptr)) {}
  ServiceHandle& operator=(ServiceHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      m_raw = std::exchange(other.m_raw, nullptr);
    }
    return *this;
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;

  explicit operator bool() const { return m_raw != nullptr; }
  // The backend's own handle (SC_HANDLE on Windows).
  void* Raw() const { return m_raw; }
  // Closes the handle now; the backend's close call.
  void Reset();

 private:
  void* m_raw = nullptr;
};

// The local machine's service manager with full access. Empty when it cannot
// be opened (no rights, no manager reachable).
ServiceHandle OpenServiceManager();

// One service by its key name. Empty when there is no such service or the
// access is refused.
ServiceHandle OpenNamedService(const ServiceHandle& manager, const std::wstring& name,
                               ServiceAccess access);

// The service's current state; false when it cannot be read.
bool QueryServiceState(const ServiceHandle& service, ServiceState& state);

// Asks the manager to start the service with no arguments; true when the
// request was accepted (not that the service is running yet).
bool RequestServiceStart(const ServiceHandle& service);

}  // namespace os

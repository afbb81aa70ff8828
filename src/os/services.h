#pragma once
// The platform's service manager, asked about one service by its key name:
// its state, a start, whether this user may stop and start it. Each call
// reaches the manager afresh and leaves nothing open; on a failure the cause
// is the last error. The caller decides what a failure means and what the
// user is shown.

#include <string>

namespace os {

// A service's state as the caller needs it. The last three say that the
// state is not known, each for its own reason, and none of them means
// "stopped": a caller must not start, nor give up on, a service it knows
// nothing about.
enum class ServiceState {
  Running,
  Stopped,
  Pending,     // starting, stopping, pausing, resuming or paused
  NoManager,   // the service manager cannot be reached
  NoService,   // no such service, or this user may not open it for its state
  Unreadable,  // the service is there, its state could not be read
};

// The service's current state.
ServiceState QueryServiceState(const std::wstring& name);

// True when the manager accepted the start of a stopped service with no
// arguments (not that it runs yet). False when it cannot be opened for a
// start, or the start is refused (it is not stopped, it is disabled).
bool StartServiceByName(const std::wstring& name);

// Whether this user may stop, start and query the service: what replacing its
// files needs, asked before anything is changed. Windows: the service opens
// for exactly those rights; natively the manager says the unit can be both
// started and stopped (what this user may do is decided when asked).
bool CanControlService(const std::wstring& name);

}  // namespace os

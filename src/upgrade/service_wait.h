#pragma once
// Waiting, for a bounded time, until the service manager reports a service in
// a given state.

#include <string>

#include "os/services.h"
#include "os/tunable.h"

namespace upgrade {
// How long a stopped service may take to stop, and a started one to run.
inline os::Tunable<unsigned> g_serviceStopWaitMs{60 * 1000};
inline os::Tunable<unsigned> g_serviceRunWaitMs{60 * 1000};
// Between two questions to the service manager.
inline os::Tunable<unsigned> g_serviceWaitPollMs{500};
}  // namespace upgrade

enum class ServiceWaitResult {
  Reached,
  NotReached,  // still in another state when the time was up
  Unknown,     // the manager or the service cannot be opened
};

ServiceWaitResult WaitForServiceState(const std::wstring& name, os::ServiceState wanted,
                                      unsigned limitMs);

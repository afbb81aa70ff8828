#pragma once
// Waiting, for a bounded time, until the service manager reports a service in
// a given state.

#include <chrono>
#include <string>

#include "os/services.h"

namespace upgrade {

enum class ServiceWaitResult {
  Reached,
  NotReached,  // still in another state when the time was up
  Unknown,     // the manager or the service cannot be opened
};

ServiceWaitResult WaitForServiceState(const std::wstring& name, os::ServiceState wanted,
                                      std::chrono::milliseconds limit);

}  // namespace upgrade

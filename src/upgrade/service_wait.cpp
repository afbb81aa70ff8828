#include "upgrade/service_wait.h"

#include <algorithm>
#include <chrono>

#include "os/machine.h"
#include "upgrade/tunables.h"

namespace upgrade {

ServiceWaitResult WaitForServiceState(const std::wstring& name, os::ServiceState wanted,
                                      std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  os::ServiceHandle manager = os::OpenServiceManager();
  if (!manager) return ServiceWaitResult::Unknown;
  os::ServiceHandle service = os::OpenNamedService(manager, name, os::ServiceAccess::QueryStatus);
  if (!service) return ServiceWaitResult::Unknown;
  for (;;) {
    // A state that cannot be read this time may be readable the next.
    os::ServiceState state{};
    if (os::QueryServiceState(service, state) && state == wanted) return ServiceWaitResult::Reached;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return ServiceWaitResult::NotReached;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    os::SleepMilliseconds(WholeMilliseconds(std::min(left, tunables::serviceWaitPoll.Get())));
  }
}

}  // namespace upgrade

#include "upgrade/service_wait.h"

#include <algorithm>
#include <optional>

#include "os/machine.h"
#include "upgrade/tunables.h"

namespace upgrade {

namespace {

std::optional<os::ServiceState> ReadState(const os::ServiceHandle& service) {
  os::ServiceState state{};
  if (!service || !os::QueryServiceState(service, state)) return std::nullopt;
  return state;
}

ServiceOutcome Classify(std::optional<os::ServiceState> state) {
  if (!state) return ServiceOutcome::Unreadable;
  if (*state == os::ServiceState::Running) return ServiceOutcome::Running;
  if (*state == os::ServiceState::Stopped) return ServiceOutcome::Stopped;
  return ServiceOutcome::Pending;
}

// A state that cannot be read this many times in a row is taken as unreadable
// for good: waiting out the whole limit would not make it readable.
constexpr int kUnreadableReadsToGiveUp = 5;

// Polls until `done` accepts the outcome or the time is up. A read that fails
// once may succeed the next time; only the last read decides at the end.
template <typename Done>
ServiceOutcome WaitFor(const std::wstring& name, std::chrono::milliseconds limit, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // Connect and query rights only: a state read needs no more.
  os::OpenedService opened = os::OpenServiceWithManager(name, os::ServiceAccess::QueryStatus);
  for (int unreadable = 0;;) {
    // An open that failed may succeed on a later try, as a read may.
    if (!opened.service && opened.manager) {
      opened.service = os::OpenNamedService(opened.manager, name, os::ServiceAccess::QueryStatus);
    }
    const ServiceOutcome outcome = Classify(ReadState(opened.service));
    if (done(outcome)) return outcome;
    unreadable = outcome == ServiceOutcome::Unreadable ? unreadable + 1 : 0;
    if (unreadable >= kUnreadableReadsToGiveUp) return outcome;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return outcome;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    os::SleepMilliseconds(
        tunable::WholeMilliseconds(std::min(left, tunables::serviceWaitPoll.Get())));
  }
}

}  // namespace

ServiceOutcome ReadServiceOutcome(const std::wstring& name) {
  return WaitFor(name, std::chrono::milliseconds(0), [](ServiceOutcome) { return true; });
}

ServiceOutcome WaitUntilStopped(const std::wstring& name, std::chrono::milliseconds limit) {
  return WaitFor(name, limit, [](ServiceOutcome o) { return o == ServiceOutcome::Stopped; });
}

ServiceOutcome WaitUntilSettled(const std::wstring& name, std::chrono::milliseconds limit) {
  return WaitFor(name, limit, [](ServiceOutcome o) {
    return o == ServiceOutcome::Running || o == ServiceOutcome::Stopped;
  });
}

}  // namespace upgrade

#include "upgrade/service_wait.h"

#include <algorithm>

#include "os/machine.h"
#include "os/services.h"
#include "upgrade/tunables.h"

namespace upgrade {

namespace {

ServiceOutcome Classify(os::ServiceState state) {
  switch (state) {
    case os::ServiceState::Running:
      return ServiceOutcome::Running;
    case os::ServiceState::Stopped:
      return ServiceOutcome::Stopped;
    case os::ServiceState::Pending:
      return ServiceOutcome::Pending;
    case os::ServiceState::NoManager:
    case os::ServiceState::NoService:
    case os::ServiceState::Unreadable:
      return ServiceOutcome::Unreadable;
  }
  return ServiceOutcome::Unreadable;
}

// A state that cannot be read this many times in a row is taken as unreadable
// for good: waiting out the whole limit would not make it readable.
constexpr int kUnreadableReadsToGiveUp = 5;

// Polls until `done` accepts the outcome or the time is up. A read that fails
// once may succeed the next time; only the last read decides at the end.
template <typename Done>
ServiceOutcome WaitFor(const std::wstring& name, std::chrono::milliseconds limit, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (int unreadable = 0;;) {
    // Each read asks the manager afresh: one that failed may succeed later.
    const ServiceOutcome outcome = Classify(os::QueryServiceState(name));
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

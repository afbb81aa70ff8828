#pragma once
// Watching the upload service through the service manager, for a bounded time,
// until its state says what happened. A state that cannot be read is its own
// answer, never taken for "stopped" or "not running".

#include <chrono>
#include <string>

namespace upgrade {

enum class ServiceOutcome {
  Running,
  Stopped,
  Pending,     // still starting, stopping or paused when the time was up
  Unreadable,  // the manager, the service or its state could not be read
};

// The state once, now.
ServiceOutcome ReadServiceOutcome(const std::wstring& name);

// Until the service is stopped.
ServiceOutcome WaitUntilStopped(const std::wstring& name, std::chrono::milliseconds limit);

// Until the service has settled, running or stopped: after a start command has
// returned, "stopped" is a settled failure and ends the wait at once.
ServiceOutcome WaitUntilSettled(const std::wstring& name, std::chrono::milliseconds limit);

}  // namespace upgrade

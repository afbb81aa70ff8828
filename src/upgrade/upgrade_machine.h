#pragma once
// What the upgrade asks of the machine besides the files it holds: the upload
// service's state, the "net" commands, the clock and a pause. The program runs
// the upgrade on the real machine; a test runs the same upgrade in-process on
// a machine whose service does what each row of a table says.

#include <chrono>
#include <string>

#include "os/machine.h"
#include "upgrade/service_wait.h"

namespace upgrade {

class UpgradeMachine {
 public:
  virtual ~UpgradeMachine() = default;

  // The service's state once, now.
  virtual ServiceOutcome ReadService(const std::wstring& name) = 0;
  // Until it is stopped, at most `limit`.
  virtual ServiceOutcome WaitUntilStopped(const std::wstring& name,
                                          std::chrono::milliseconds limit) = 0;
  // Until it has settled, running or stopped, at most `limit`.
  virtual ServiceOutcome WaitUntilSettled(const std::wstring& name,
                                          std::chrono::milliseconds limit) = 0;
  // "net <arguments>", waited for as RunAndWait does: true when it ran and
  // ended in time, whatever its exit code.
  virtual bool RunNet(const std::wstring& arguments) = 0;
  virtual os::LocalTime Now() = 0;
  virtual void Pause(std::chrono::milliseconds length) = 0;
};

// This machine: the service manager, the system's net, the local clock.
UpgradeMachine& RealMachine();

}  // namespace upgrade

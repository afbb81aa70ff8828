#include "host/service_control.h"

#include "host/tunables.h"
#include "os/machine.h"
#include "os/services.h"
#include "os/session.h"

namespace host {

bool IsServiceRunningShowingFailures(const std::wstring& name, MessageBoxOwner& boxOwner) {
  // The manager and the service are closed again before anything is shown.
  const os::ServiceState state = os::QueryServiceState(name);
  if (state == os::ServiceState::Running) return true;
  // The manager is opened to connect only, which every user may. A user who
  // may not start services is shown nothing, as when the manager was opened
  // with rights only an administrator's full token gets.
  if (os::CurrentProcessRights() != os::ProcessRights::Full) return false;
  switch (state) {
    case os::ServiceState::NoService:
      // Deliberately the manager's text although it is the service that could
      // not be opened: the box's words are the system's own, kept as they are.
      boxOwner.ShowMessageBox(L"OpenSCManager Open failed");
      return false;
    case os::ServiceState::Unreadable:
      boxOwner.ShowMessageBox(L"QueryServiceStatusEx failed");
      return false;
    case os::ServiceState::Running:
    case os::ServiceState::Stopped:
    case os::ServiceState::Pending:
    case os::ServiceState::NoManager:
      return false;
  }
  return false;
}

bool StartServiceIfStopped(const std::wstring& name, MessageBoxOwner& boxOwner) {
  // Asked again, boxes and all, even when the caller has just asked: one
  // service that cannot be opened or queried shows its box twice, on purpose.
  if (IsServiceRunningShowingFailures(name, boxOwner)) return true;
  if (!os::StartServiceByName(name)) return false;
  // True means accepted, not running: give the service a moment before the
  // next one is looked at.
  os::SleepMilliseconds(tunable::WholeMilliseconds(tunables::serviceStartPause.Get()));
  return true;
}

}  // namespace host

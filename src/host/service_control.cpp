#include "host/service_control.h"

#include "host/tunables.h"
#include "os/machine.h"
#include "os/services.h"
#include "os/session.h"

namespace host {

namespace {

enum class StatusQuery { NoManager, NoService, QueryFailed, NotRunning, Running };

// Handles are closed (service before manager) before the caller shows anything.
StatusQuery QueryStatus(const std::wstring& name) {
  const os::OpenedService opened = os::OpenServiceWithManager(name, os::ServiceAccess::QueryStatus);
  if (!opened.manager) return StatusQuery::NoManager;
  if (!opened.service) return StatusQuery::NoService;
  os::ServiceState state;
  if (!os::QueryServiceState(opened.service, state)) return StatusQuery::QueryFailed;
  return state == os::ServiceState::Running ? StatusQuery::Running : StatusQuery::NotRunning;
}

bool RequestStart(const std::wstring& name) {
  const os::OpenedService opened = os::OpenServiceWithManager(name, os::ServiceAccess::Start);
  return opened.service && os::RequestServiceStart(opened.service);
}

}  // namespace

bool IsServiceRunningShowingFailures(const std::wstring& name, MessageBoxOwner& boxOwner) {
  const StatusQuery query = QueryStatus(name);
  // The manager is opened to connect only, which every user may. A user who
  // may not start services is shown nothing, as when the manager was opened
  // with rights only an administrator's full token gets.
  const bool mayShow = query == StatusQuery::Running || query == StatusQuery::NotRunning ||
                       os::CurrentProcessRights() == os::ProcessRights::Full;
  switch (mayShow ? query : StatusQuery::NoManager) {
    case StatusQuery::Running:
      return true;
    case StatusQuery::NoService:
      // Deliberately the manager's text although it is the service that could
      // not be opened: the box's words are the system's own, kept as they are.
      boxOwner.ShowMessageBox(L"OpenSCManager Open failed");
      return false;
    case StatusQuery::QueryFailed:
      boxOwner.ShowMessageBox(L"QueryServiceStatusEx failed");
      return false;
    case StatusQuery::NoManager:
    case StatusQuery::NotRunning:
      return false;
  }
  return false;
}

bool StartServiceIfStopped(const std::wstring& name, MessageBoxOwner& boxOwner) {
  // Asked again, boxes and all, even when the caller has just asked: one
  // service that cannot be opened or queried shows its box twice, on purpose.
  if (IsServiceRunningShowingFailures(name, boxOwner)) return true;
  if (!RequestStart(name)) return false;
  // True means accepted, not running: give the service a moment before the
  // next one is looked at.
  os::SleepMilliseconds(tunable::WholeMilliseconds(tunables::serviceStartPause.Get()));
  return true;
}

}  // namespace host

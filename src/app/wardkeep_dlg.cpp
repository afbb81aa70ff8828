#include "app/wardkeep_dlg.h"

#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "app/dialog_ids.h"
#include "app/guarded.h"
#include "host/event_log.h"
#include "host/session.h"
#include "platform_client/platform_url.h"
#include "upgrade/progress.h"
#include "upgrade/update_policy.h"
#include "upgrade/update_run.h"

namespace {

// A timer is refused only when the session is out of resources; a moment
// later there may be room again.
constexpr int kTimerAttempts = 3;
constexpr std::chrono::milliseconds kTimerRetryPause(50);

void RunRealUpdate() {
  upgrade::RunUpdate();
}

}  // namespace

CwardkeepDlg::CwardkeepDlg(app::View& view)
    : CwardkeepDlg(view, platform_client::kBuiltInPlatformUrl, &RunRealUpdate) {}

CwardkeepDlg::CwardkeepDlg(app::View& view, std::string platformUrl, UpdateRun updateRun,
                           app::EventSink events)
    : m_view(view),
      m_platformUrl(std::move(platformUrl)),
      m_appIcon(view.LoadAppIcon()),
      m_updateRun(std::move(updateRun)),
      m_events(std::move(events)) {}

bool CwardkeepDlg::OnInitDialog() {
  m_events.Report(app::StartEvent(
      host::CurrentProcessRights(),
      {host::AutostartRouteByPolicy() == host::AutostartRoute::MachineTask,
       upgrade::UpdatesSwitchedOffByPolicy()}));

  m_statusEdit.Bind(m_view, app::kStatusEditId);
  m_memFreeEdit.Bind(m_view, app::kMemFreeEditId);
  m_diskCEdit.Bind(m_view, app::kDiskCEditId);
  m_diskDEdit.Bind(m_view, app::kDiskDEditId);
  m_erpEdit.Bind(m_view, app::kErpEditId);

  m_view.SetIcon(app::IconSize::Big, m_appIcon);
  m_view.SetIcon(app::IconSize::Small, m_appIcon);

  UpdateResourceReadout();

  if (m_updateRun) RunUpdateAndReport();

  if (!StartHealthTimer()) {
    // Hidden, the window could say nothing ever again: it is shown with the
    // reason (a front end may have created it hidden).
    m_statusEdit.SetWindowText(L"健康检查定时器无法启动，服务状态不再检查，请重新启动本程序");
    m_view.ShowWindow(true);
    return true;
  }
  // The template is visible; the queued message hides the window as soon as
  // the modal loop runs, so it appears only when a health check finds a fault.
  m_view.PostMessageToSelf(app::kHideAfterStartMessage);
  return true;
}

void CwardkeepDlg::RunUpdateAndReport() {
  upgrade::RunRecord record;
  const auto started = std::chrono::steady_clock::now();
  {
    upgrade::ScopedRunRecord collecting(record);
    // The update prints its own progress; whatever escapes it must not keep
    // the watch from starting.
    app::Guarded(m_updateRun);
  }
  m_events.Report(app::UpdateEvent(record, std::chrono::duration_cast<std::chrono::seconds>(
                                               std::chrono::steady_clock::now() - started)));
}

bool CwardkeepDlg::StartHealthTimer() {
  for (int attempt = 1; attempt <= kTimerAttempts; ++attempt) {
    if (m_view.SetTimer(app::kHealthTimerId, app::kHealthTimerPeriodMs)) return true;
    if (attempt < kTimerAttempts) std::this_thread::sleep_for(kTimerRetryPause);
  }
  return false;
}

long CwardkeepDlg::OnHideAfterStart() {
  m_view.ShowWindow(false);
  return 0;
}

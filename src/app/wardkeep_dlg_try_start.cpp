#include "app/dialog_ids.h"
#include "app/service_names.h"
#include "app/wardkeep_dlg.h"
#include "host/cache_flush.h"
#include "host/event_log.h"
#include "host/service_control.h"

void CwardkeepDlg::OnTryStart() {
  bool hasButton = m_view.HasControl(app::kTryStartButtonId);
  if (hasButton) {
    m_view.SetControlText(app::kTryStartButtonId, L"启动..耐心等待");
    m_view.EnableControl(app::kTryStartButtonId, false);
  }
  app::ButtonRecord record;
  record.redisFlush = host::FlushRedisCache();

  platform_client::ServiceMonitor monitor;
  app::AddInstallationServices(monitor);
  // One service failing does not keep the later ones from being started.
  for (std::size_t i = 0; i < monitor.serviceNames.size(); ++i) {
    const std::wstring& name = monitor.serviceNames[i];
    app::ServiceStart start = app::ServiceStart::AlreadyRunning;
    // A service that cannot be opened or asked shows its box here and once
    // more from the start's own query: two boxes for one service. Deliberate,
    // the command has always shown both; do not fold them into one.
    if (!host::IsServiceRunningShowingFailures(name, m_view)) {
      start = host::StartServiceIfStopped(name, m_view) ? app::ServiceStart::Accepted
                                                        : app::ServiceStart::Failed;
    }
    record.services.emplace_back(name, start);
  }
  m_events.Report(app::ButtonEvent(record));

  if (hasButton) {
    m_view.SetControlText(app::kTryStartButtonId, L"尝试启动");
    m_view.EnableControl(app::kTryStartButtonId, true);
  }
}

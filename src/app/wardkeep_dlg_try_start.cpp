#include "app/dialog_ids.h"
#include "app/service_names.h"
#include "app/wardkeep_dlg.h"
#include "host/cache_flush.h"
#include "host/service_control.h"

void CwardkeepDlg::OnTryStart() {
  bool hasButton = m_view.HasControl(app::kTryStartButtonId);
  if (hasButton) {
    m_view.SetControlText(app::kTryStartButtonId, L"启动..耐心等待");
    m_view.EnableControl(app::kTryStartButtonId, false);
  }
  host::FlushRedisCache();

  platform_client::ServiceMonitor monitor;
  app::AddInstallationServices(monitor);
  // One service failing does not keep the later ones from being started.
  for (std::size_t i = 0; i < monitor.serviceNames.size(); ++i) {
    const std::wstring& name = monitor.serviceNames[i];
    if (!host::IsServiceRunning(name, m_view)) host::StartServiceIfStopped(name, m_view);
  }

  if (hasButton) {
    m_view.SetControlText(app::kTryStartButtonId, L"尝试启动");
    m_view.EnableControl(app::kTryStartButtonId, true);
  }
}

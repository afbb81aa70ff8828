#include <utility>

#include "app/dialog_ids.h"
#include "app/service_names.h"
#include "app/wardkeep_dlg.h"

void CwardkeepDlg::OnHealthTimer(unsigned timerId) {
  if (timerId != app::kHealthTimerId) return;
  platform_client::ServiceMonitor monitor;
  app::AddInstallationServices(monitor);
  std::wstring message;
  const bool healthy = monitor.CheckHealth(m_platformUrl, message);
  if (app::Event change; m_health.Observe(healthy, message, change)) {
    m_events.Report(std::move(change));
  }
  if (healthy) {
    m_statusEdit.SetWindowText(L"服务正常运行");
    m_view.ShowWindow(false);
  } else {
    // The platform's own fault text, or one of the health check's:
    // guide-texts: "Vellun价签服务异常，请联系管理员：…",
    // "Vellun价签服务异常，请联系管理员：健康报告过大（超过…），未读取"
    m_statusEdit.SetWindowText(message);
    UpdateResourceReadout();
    m_view.ShowWindow(true);
  }
  // Last, and in both cases: a healthy tick empties the box.
  // guide-texts: none, the platform's ERP name
  m_erpEdit.SetWindowText(monitor.GetErpName());
}

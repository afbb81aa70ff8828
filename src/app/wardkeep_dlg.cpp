#include "app/wardkeep_dlg.h"

#include "app/dialog_ids.h"
#include "upgrade/update_run.h"

CwardkeepDlg::CwardkeepDlg(app::View& view) : m_view(view), m_appIcon(view.LoadAppIcon()) {}

bool CwardkeepDlg::OnInitDialog() {
  m_statusEdit.Bind(m_view, app::kStatusEditId);
  m_memFreeEdit.Bind(m_view, app::kMemFreeEditId);
  m_diskCEdit.Bind(m_view, app::kDiskCEditId);
  m_diskDEdit.Bind(m_view, app::kDiskDEditId);
  m_erpEdit.Bind(m_view, app::kErpEditId);

  m_view.SetIcon(app::IconSize::Big, m_appIcon);
  m_view.SetIcon(app::IconSize::Small, m_appIcon);

  UpdateResourceReadout();

  std::string updateError;
  upgrade::RunUpdate(updateError);

  m_view.SetTimer(app::kHealthTimerId, app::kHealthTimerPeriodMs);
  // The template is visible; the queued message hides the window as soon as
  // the modal loop runs, so it appears only when a health check finds a fault.
  m_view.PostMessageToSelf(app::kHideAfterStartMessage);
  return true;
}

long CwardkeepDlg::OnHideAfterStart() {
  m_view.ShowWindow(false);
  return 0;
}

#pragma once
// The status dialog's logic: initialisation, the health cycle, the manual
// start button. Front ends deliver the window's messages to these handlers.

#include <string>

#include "app/edit_control.h"
#include "app/view.h"

class CwardkeepDlg {
 public:
  explicit CwardkeepDlg(app::View& view);

  // WM_INITDIALOG. Returns TRUE so the platform focuses the first tab stop.
  bool OnInitDialog();
  // WM_TIMER: one health-check cycle for the health timer.
  void OnHealthTimer(unsigned timerId);
  // The private message posted at the end of initialisation.
  long OnHideAfterStart();
  // BN_CLICKED from the button: flush the cache, start what is stopped.
  void OnTryStart();
  // WM_QUERYDRAGICON.
  app::IconHandle OnQueryDragIcon() const { return m_appIcon; }

  void UpdateResourceReadout();

 private:
  app::View& m_view;
  app::IconHandle m_appIcon;
  app::EditControl m_statusEdit;
  app::EditControl m_memFreeEdit;
  app::EditControl m_diskCEdit;
  app::EditControl m_diskDEdit;
  app::EditControl m_erpEdit;
};

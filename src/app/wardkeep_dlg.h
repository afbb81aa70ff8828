#pragma once
// The status dialog's logic: initialisation, the health cycle, the manual
// start button. Front ends deliver the window's messages to these handlers.

#include <functional>
#include <string>

#include "app/edit_control.h"
#include "app/event_report.h"
#include "app/view.h"

class CwardkeepDlg {
 public:
  // The once-per-start update; whatever it does, the health cycle starts after it.
  using UpdateRun = std::function<void()>;

  // With the real update run, watching the platform service where every
  // installation has it.
  explicit CwardkeepDlg(app::View& view);
  // Watches the platform service at `platformUrl` ("http://host:port", no
  // path). Events go to `events` (the system's event log unless a test
  // records them).
  CwardkeepDlg(app::View& view, std::string platformUrl, UpdateRun updateRun,
               app::EventSink events = app::SystemEventLog());

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
  // Sets the health timer, trying again a few times; false when it never took.
  bool StartHealthTimer();
  // The update run, recorded for its event.
  void RunUpdateAndReport();

  app::View& m_view;
  std::string m_platformUrl;
  app::IconHandle m_appIcon;
  UpdateRun m_updateRun;
  app::EventReporter m_events;
  app::HealthWatch m_health;
  app::EditControl m_statusEdit;
  app::EditControl m_memFreeEdit;
  app::EditControl m_diskCEdit;
  app::EditControl m_diskDEdit;
  app::EditControl m_erpEdit;
};

#include "app/wardkeep_app.h"

#include "app/wardkeep_dlg.h"
#include "host/session.h"

void app::SetUpAutostart() {
  if (host::AutostartRouteByPolicy() == host::AutostartRoute::MachineTask) {
    host::RemoveAutostartEntry(kAutostartValueName);
    return;
  }
  host::WriteAutostartEntry(kAutostartValueName);
}

bool CwardkeepApp::InitInstance() {
  if (!host::AcquireSingleInstance(app::kSingleInstanceName)) {
    // Nothing else happens for a second copy: no autostart write, no window.
    host::ShowStartupMessageBox(L"The program is already running!", L"Error");
    return false;
  }
  app::SetUpAutostart();
  m_host.InitCommonControls();
  CwardkeepDlg dialog(m_host.GetView());
  m_host.RunModal(dialog);
  return false;
}

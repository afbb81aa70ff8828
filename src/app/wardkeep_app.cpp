#include "app/wardkeep_app.h"

#include "app/program_path.h"
#include "app/wardkeep_dlg.h"
#include "host/session.h"

void app::RegisterAutostart(const std::wstring& valueName, const std::wstring& data) {
  host::WriteAutostartEntry(valueName, data);
}

void app::SetUpAutostart() {
  if (host::AutostartRouteByPolicy() == host::AutostartRoute::MachineTask) {
    host::RemoveAutostartEntry(kAutostartValueName);
    return;
  }
  // A program whose own folder is unknown writes no entry rather than a wrong one.
  if (const std::wstring program = AutostartProgramPath(); !program.empty()) {
    RegisterAutostart(kAutostartValueName, program);
  }
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

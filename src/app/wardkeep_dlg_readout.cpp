#include "app/wardkeep_dlg.h"
#include "host/resource_readout.h"

void CwardkeepDlg::UpdateResourceReadout() {
  // guide-texts: none, figures
  m_memFreeEdit.SetWindowText(host::AvailableMemoryText());
  // guide-texts: none, figures
  m_diskCEdit.SetWindowText(host::FormatDiskFree(L"C:\\"));
  // Only a fixed D: is shown; otherwise the box keeps what it had.
  // guide-texts: none, figures
  if (host::IsFixedDrive(L"D:\\")) m_diskDEdit.SetWindowText(host::FormatDiskFree(L"D:\\"));
}

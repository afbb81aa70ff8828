#include "app/wardkeep_dlg.h"
#include "host/resource_readout.h"

void CwardkeepDlg::UpdateResourceReadout() {
  m_memFreeEdit.SetWindowText(host::AvailableMemoryText());
  m_diskCEdit.SetWindowText(host::FormatDiskFree(L"C:\\"));
  // Only a fixed D: is shown; otherwise the box keeps what it had.
  if (host::IsFixedDrive(L"D:\\")) m_diskDEdit.SetWindowText(host::FormatDiskFree(L"D:\\"));
}

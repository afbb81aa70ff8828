#include "app/wardkeep_dlg.h"
#include "host/resource_readout.h"
#include "os/machine.h"

void CwardkeepDlg::UpdateResourceReadout() {
  m_memFreeEdit.SetWindowText(host::FormatMemoryMegabytes(os::AvailablePhysicalMemory()));
  m_diskCEdit.SetWindowText(host::FormatDiskFree(L"C:\\"));
  // Only a fixed D: is shown; otherwise the box keeps what it had.
  if (os::GetDriveKind(L"D:\\") == os::DriveType::Fixed) {
    m_diskDEdit.SetWindowText(host::FormatDiskFree(L"D:\\"));
  }
}

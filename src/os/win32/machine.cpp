// Windows backend of the machine service: memory status, disk space, drive type, CRT local time,
// Sleep.
#include "os/machine.h"

#include <windows.h>

#include <ctime>

#include "os/machine_primitives.h"

namespace os {

std::uint64_t AvailablePhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;  // 64
  ::GlobalMemoryStatusEx(&status);
  return status.ullAvailPhys;
}

bool FreeBytesForCaller(const std::wstring& root, std::uint64_t& freeBytes) {
  ULARGE_INTEGER forCaller{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER totalFree{};
  if (!::GetDiskFreeSpaceExW(root.c_str(), &forCaller, &total, &totalFree)) return false;
  freeBytes = forCaller.QuadPart;
  return true;
}

DriveType GetDriveKind(const std::wstring& root) {
  return static_cast<DriveType>(::GetDriveTypeW(root.c_str()));
}

void SleepMilliseconds(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

}  // namespace os

namespace os::machine {

std::tm LocalCalendar(std::time_t when) {
  __time64_t wide = when;
  std::tm parts{};
  _localtime64_s(&parts, &wide);
  return parts;
}

}  // namespace os::machine

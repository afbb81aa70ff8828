// Windows backend of the machine service: memory status, disk space, drive type, CRT local time,
// Sleep.
#include "os/machine.h"

#include <windows.h>

#include <ctime>

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

LocalTime CurrentLocalTime() {
  __time64_t now = _time64(nullptr);
  std::tm parts{};
  _localtime64_s(&parts, &now);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

void SleepMilliseconds(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

}  // namespace os

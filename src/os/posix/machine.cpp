// Native backend of the machine service: /proc/meminfo, statvfs through the
// drive map, localtime_r and nanosleep.
#include "os/machine.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "os/machine_primitives.h"
#include "os/posix/drive_map.h"

namespace os {

std::uint64_t AvailablePhysicalMemory() {
  std::FILE* meminfo = std::fopen("/proc/meminfo", "re");
  if (meminfo == nullptr) return 0;
  char line[256];
  std::uint64_t kib = 0;
  while (std::fgets(line, sizeof line, meminfo) != nullptr) {
    unsigned long long value = 0;
    if (std::sscanf(line, "MemAvailable: %llu kB", &value) == 1) {
      kib = value;
      break;
    }
  }
  std::fclose(meminfo);
  return kib * 1024;
}

bool FreeBytesForCaller(const std::wstring& root, std::uint64_t& freeBytes) {
  auto path = posix::ToHostPath(root);
  if (!path) return false;
  struct statvfs info {};
  if (statvfs(path->c_str(), &info) != 0) return false;
  // f_bavail is what an unprivileged caller may use, like the caller's quota.
  freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

DriveType GetDriveKind(const std::wstring& root) {
  auto path = posix::ToHostPath(root);
  struct stat st {};
  if (!path || stat(path->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DriveType::NoRootDir;
  return DriveType::Fixed;
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace os

namespace os::machine {

std::tm LocalCalendar(std::time_t when) {
  std::tm parts{};
  localtime_r(&when, &parts);
  return parts;
}

}  // namespace os::machine

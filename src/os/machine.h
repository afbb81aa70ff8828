#pragma once
// Facts about the machine: memory, disks, drive kinds, the clock, and pausing.

#include <cstdint>
#include <string>

namespace os {

// Drive kinds as the platform numbers them; only Fixed matters to the program.
enum class DriveType : unsigned {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

// Physical memory available now, in bytes.
std::uint64_t AvailablePhysicalMemory();

// Free bytes on the volume of `root` ("C:\") that the calling user may use.
// False when the drive cannot be asked.
bool FreeBytesForCaller(const std::wstring& root, std::uint64_t& freeBytes);

DriveType GetDriveKind(const std::wstring& root);

struct LocalTime {
  int year;    // full year, e.g. 2025
  int month;   // 1-12
  int day;     // 1-31
  int hour;    // 0-23
  int minute;  // 0-59
  int second;  // 0-60
};
LocalTime CurrentLocalTime();

void SleepMilliseconds(unsigned milliseconds);

}  // namespace os

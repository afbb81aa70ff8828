#include "host/resource_readout.h"

#include <cwchar>

#include "os/machine.h"

namespace host {

std::wstring FormatMemoryMegabytes(std::uint64_t availableBytes) {
  auto megabytes = static_cast<std::uint32_t>(availableBytes >> 20);
  return std::to_wstring(megabytes);
}

std::wstring FormatGigabytes(std::uint64_t bytes) {
  double gigabytes = static_cast<double>(bytes) * (1.0 / 1073741824.0);
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], L"%.2f GB", gigabytes);
  return text;
}

std::wstring FormatDiskFree(const std::wstring& root) {
  std::uint64_t freeBytes = 0;
  if (!os::FreeBytesForCaller(root, freeBytes)) return {};
  return FormatGigabytes(freeBytes);
}

std::wstring AvailableMemoryText() {
  return FormatMemoryMegabytes(os::AvailablePhysicalMemory());
}

bool IsFixedDrive(const std::wstring& root) {
  return os::GetDriveKind(root) == os::DriveType::Fixed;
}

}  // namespace host

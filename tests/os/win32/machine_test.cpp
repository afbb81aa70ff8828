// The machine backend against the platform's own figures of the machine the
// tests run on.
#include "os/machine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/win32/prefix_drive.h"

namespace {

constexpr std::uint64_t kMiB = 1ull << 20;
constexpr std::uint64_t kGiB = 1ull << 30;

TEST(Win32Machine, MemoryAndDiskFiguresAreThePlatformsOwn) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  ASSERT_TRUE(::GlobalMemoryStatusEx(&status));
  std::uint64_t memory = os::AvailablePhysicalMemory();
  EXPECT_GT(memory, 0u);
  // Other processes allocate meanwhile; the figures agree to within 256 MiB.
  EXPECT_LT(std::llabs(static_cast<long long>(memory - status.ullAvailPhys)),
            static_cast<long long>(256 * kMiB));

  ULARGE_INTEGER forCaller{}, total{}, totalFree{};
  ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &forCaller, &total, &totalFree));
  std::uint64_t freeBytes = 0;
  ASSERT_TRUE(os::FreeBytesForCaller(L"C:\\", freeBytes));
  EXPECT_LT(std::llabs(static_cast<long long>(freeBytes - forCaller.QuadPart)),
            static_cast<long long>(kGiB));
  EXPECT_LE(freeBytes, total.QuadPart);

  std::uint64_t unchanged = 12345;
  EXPECT_FALSE(os::FreeBytesForCaller(testing_support::win32::AbsentDriveRoot(), unchanged));
  EXPECT_EQ(unchanged, 12345u);
}

TEST(Win32Machine, LocalTimeMatchesTheSystemClock) {
  SYSTEMTIME before{};
  ::GetLocalTime(&before);
  os::LocalTime now = os::CurrentLocalTime();
  EXPECT_EQ(now.year, before.wYear);
  EXPECT_EQ(now.month, before.wMonth);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  int clock = before.wHour * 3600 + before.wMinute * 60 + before.wSecond;
  int ours = now.hour * 3600 + now.minute * 60 + now.second;
  EXPECT_LE((ours - clock + 86400) % 86400, 2) << "clock " << clock << ", ours " << ours;
}

TEST(Win32Machine, SleepWaitsAtLeastAsLongAsAsked) {
  ULONGLONG start = ::GetTickCount64();
  os::SleepMilliseconds(200);
  EXPECT_GE(::GetTickCount64() - start, 180u);  // the tick has ~16 ms steps
}

}  // namespace

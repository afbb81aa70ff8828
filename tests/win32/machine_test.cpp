// The machine backend and the readout built on it, with the real figures of
// the machine the tests run on.
#include "os/machine.h"

// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "host/resource_readout.h"
#include "platform_client/tunables.h"
#include "support/local_http_server.h"
#include "support/recording_view.h"
#include "update/tunables.h"

namespace {

constexpr std::uint64_t kMiB = 1ull << 20;
constexpr std::uint64_t kGiB = 1ull << 30;

// A drive letter with nothing behind it.
std::wstring AbsentDriveRoot() {
  DWORD present = ::GetLogicalDrives();
  for (int letter = 'Z'; letter >= 'D'; --letter) {
    if ((present & (1u << (letter - 'A'))) == 0) {
      return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
    }
  }
  return {};
}

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
  EXPECT_FALSE(os::FreeBytesForCaller(AbsentDriveRoot(), unchanged));
  EXPECT_EQ(unchanged, 12345u);
}

TEST(Win32Machine, DriveKindsAreThePlatformsNumbers) {
  EXPECT_EQ(os::GetDriveKind(L"C:\\"), os::DriveType::Fixed);
  EXPECT_EQ(os::GetDriveKind(AbsentDriveRoot()), os::DriveType::NoRootDir);
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

TEST(Win32Readout, TheDialogShowsTheMachinesFiguresInTheirFormats) {
  // Initialisation also runs the update run: keep it off the production ports.
  std::string nowhere = "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
  ScopedTunable platform{platform_client::tunables::baseUrl, nowhere};
  ScopedTunable updateServer{update::tunables::serverBaseUrl, nowhere};
  testing_support::RecordingView view;
  CwardkeepDlg dialog(view);
  dialog.OnInitDialog();

  std::wregex megabytes(L"[0-9]+");
  std::wregex gigabytes(L"[0-9]+\\.[0-9]{2} GB");
  EXPECT_TRUE(std::regex_match(view.texts[app::kMemFreeEditId], megabytes))
      << view.texts[app::kMemFreeEditId].size();
  EXPECT_TRUE(std::regex_match(view.texts[app::kDiskCEditId], gigabytes));
  EXPECT_EQ(view.texts[app::kDiskCEditId], host::FormatDiskFree(L"C:\\"));
  // D: in this prefix is either absent (box untouched) or a fixed disk.
  if (os::GetDriveKind(L"D:\\") == os::DriveType::Fixed) {
    EXPECT_TRUE(std::regex_match(view.texts[app::kDiskDEditId], gigabytes));
  } else {
    EXPECT_EQ(view.texts.count(app::kDiskDEditId), 0u);
  }
  EXPECT_EQ(host::FormatDiskFree(AbsentDriveRoot()), L"");
}

}  // namespace

// The command runner with real processes found on PATH.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "upgrade/command_runner.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/tunables.h"

namespace {

using namespace std::chrono_literals;

using Clock = std::chrono::steady_clock;
using upgrade_test::UpgradeDrives;

TEST(RunAndWaitOnPath, WaitsForTheCommandWhateverItsExitCode) {
  UpgradeDrives drives;
  drives.WriteNet("echo \"$*\" >> '" + drives.NetLog().string() + "'\nsleep 1\nexit 2\n");
  Clock::time_point start = Clock::now();
  EXPECT_TRUE(upgrade::RunAndWait(L"net", L"  stop stock-relay"));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\n");
}

TEST(RunAndWaitOnPath, SharesStandardOutput) {
  UpgradeDrives drives;
  drives.WriteNet("echo \"net says $1\"\n");
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(upgrade::RunAndWait(L"net", L"start stock-relay"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "net says start\n");
}

TEST(RunAndWaitOnPath, ACommandThatOutlivesTheLimitIsEndedAndCountsAsNotRun) {
  UpgradeDrives drives;
  // The child it starts must end with it, or it would outlive the test.
  drives.WriteNet("sleep 30 &\necho $! > '" + drives.NetLog().string() + "'\nwait\n");
  tunable::ScopedTunable shorter(upgrade::tunables::commandTimeLimit, 300ms);
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(upgrade::RunAndWait(L"net", L"stop stock-relay"));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));

  std::string sleeper = drives.NetCalls();
  ASSERT_FALSE(sleeper.empty());
  sleeper.pop_back();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::string state = testing_support::ReadFile("/proc/" + sleeper + "/stat");
  EXPECT_TRUE(state.empty() || state.find(") Z ") != std::string::npos)
      << "the command's own child is still running: " << state;
}

}  // namespace

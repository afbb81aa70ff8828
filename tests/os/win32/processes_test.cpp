// The processes backend with real child processes: this test program started
// again to run one of the disabled helper tests below.
#include "os/processes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "os/session.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

// Child side: sleeps for WARDKEEP_CHILD_SLEEP_MS, then writes "done" to
// WARDKEEP_CHILD_MARKER. Run only when a test below starts this program.
TEST(Win32ChildProcess, DISABLED_SleepThenMark) {
  const char* sleep = std::getenv("WARDKEEP_CHILD_SLEEP_MS");
  const char* marker = std::getenv("WARDKEEP_CHILD_MARKER");
  ::Sleep(sleep != nullptr ? static_cast<DWORD>(std::atoi(sleep)) : 0);
  if (marker != nullptr) testing_support::WriteFile(marker, "done");
}

class Win32Processes : public testing::Test {
 protected:
  void Child(unsigned sleepMilliseconds) {
    ::SetEnvironmentVariableW(L"WARDKEEP_CHILD_SLEEP_MS",
                              std::to_wstring(sleepMilliseconds).c_str());
    ::SetEnvironmentVariableW(L"WARDKEEP_CHILD_MARKER", marker.wstring().c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"WARDKEEP_CHILD_SLEEP_MS", nullptr);
    ::SetEnvironmentVariableW(L"WARDKEEP_CHILD_MARKER", nullptr);
  }
  static std::wstring HelperArguments() {
    return L"--gtest_also_run_disabled_tests "
           L"--gtest_filter=Win32ChildProcess.DISABLED_SleepThenMark";
  }

  TempDir temp;
  std::filesystem::path marker = temp / "marker";
};

TEST_F(Win32Processes, LaunchHiddenWaitsForTheProgramToEnd) {
  Child(700);
  ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(os::LaunchHiddenAndWait(os::ModuleFileName(), HelperArguments(), 60000),
            os::LaunchResult::Ended);
  EXPECT_GE(::GetTickCount64() - start, 650u);
  EXPECT_EQ(ReadFile(marker), "done");
}

TEST_F(Win32Processes, LaunchHiddenEndsAProgramThatOutlivesTheTimeOut) {
  Child(20000);
  ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(os::LaunchHiddenAndWait(os::ModuleFileName(), HelperArguments(), 1500),
            os::LaunchResult::TimedOut);
  EXPECT_LT(::GetTickCount64() - start, 15000u);
  ::Sleep(500);
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(Win32Processes, CommandLinesRunToTheirEndWhateverTheirExitCode) {
  Child(700);
  std::wstring self = L"\"" + os::ModuleFileName() + L"\" " + HelperArguments();
  ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(os::RunCommandLineAndWait(self, 60000), os::LaunchResult::Ended);
  EXPECT_GE(::GetTickCount64() - start, 650u);
  EXPECT_EQ(ReadFile(marker), "done");

  EXPECT_EQ(os::RunCommandLineAndWait(L"cmd /c exit 3", 60000), os::LaunchResult::Ended);
  EXPECT_EQ(os::RunCommandLineAndWait(L"wardkeep-no-such-program stop x", 60000),
            os::LaunchResult::NotStarted);
}

TEST_F(Win32Processes, ACommandLineStillRunningAtTheDeadlineIsEnded) {
  Child(20000);
  std::wstring self = L"\"" + os::ModuleFileName() + L"\" " + HelperArguments();
  EXPECT_EQ(os::RunCommandLineAndWait(self, 1500), os::LaunchResult::TimedOut);
  ::Sleep(500);
  EXPECT_FALSE(std::filesystem::exists(marker));
}

}  // namespace

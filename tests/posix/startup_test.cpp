// The real program started as processes: one copy per user, the autostart
// entry rewritten by every copy that runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/posix/child_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::ReadFile;
using testing_support::TempDir;

class Startup : public testing::Test {
 protected:
  std::map<std::string, std::string> Env() {
    return {{"XDG_RUNTIME_DIR", (temp / "run").string()},
            {"XDG_CONFIG_HOME", (temp / "config").string()}};
  }
  std::filesystem::path AutostartFile() { return temp / "config/autostart/orvWardkeep.desktop"; }
  void SetUp() override { std::filesystem::create_directory(temp / "run"); }

  TempDir temp;
};

TEST_F(Startup, ASecondCopyIsRefusedWhileTheFirstRunsAndTheLockFreesWithIt) {
  std::filesystem::path program = temp / "first dir" / "wardkeep";
  std::filesystem::create_directories(program.parent_path());
  std::filesystem::copy_file(WARDKEEP_PROGRAM, program);

  ChildProcess first({program.string()}, Env(), temp.path());
  ASSERT_TRUE(first.WaitForOutput("hidden", 10s)) << first.Stderr();
  EXPECT_NE(ReadFile(AutostartFile()).find("Exec=\"" + program.string() + "\"\n"),
            std::string::npos)
      << ReadFile(AutostartFile());

  // A copy elsewhere: refused, and the entry still names the first copy.
  std::filesystem::path moved = temp / "moved" / "wardkeep";
  std::filesystem::create_directories(moved.parent_path());
  std::filesystem::copy_file(WARDKEEP_PROGRAM, moved);
  ChildProcess second({moved.string()}, Env(), temp.path());
  ASSERT_TRUE(second.Wait(10s).has_value());
  EXPECT_EQ(second.Stderr(), "Error: The program is already running!\n");
  EXPECT_EQ(second.Stdout(), "");
  EXPECT_NE(ReadFile(AutostartFile()).find(program.string()), std::string::npos);
  EXPECT_TRUE(first.Running());

  // Escape ends the first copy; the moved copy then starts and rewrites the entry.
  first.WriteInput("\x1b");
  ASSERT_TRUE(first.Wait(10s).has_value());
  ChildProcess third({moved.string()}, Env(), temp.path());
  ASSERT_TRUE(third.WaitForOutput("hidden", 10s)) << third.Stderr();
  EXPECT_NE(ReadFile(AutostartFile()).find("Exec=" + moved.string() + "\n"), std::string::npos)
      << ReadFile(AutostartFile());
  third.WriteInput("\x1b");
  EXPECT_TRUE(third.Wait(10s).has_value());
}

TEST_F(Startup, AKilledCopyLeavesNoLockBehind) {
  ChildProcess first({WARDKEEP_PROGRAM}, Env(), temp.path());
  ASSERT_TRUE(first.WaitForOutput("hidden", 10s)) << first.Stderr();
  first.Kill();
  ChildProcess next({WARDKEEP_PROGRAM}, Env(), temp.path());
  EXPECT_TRUE(next.WaitForOutput("hidden", 10s)) << next.Stderr();
}

}  // namespace

// The real program started as processes: one copy per user, the autostart
// entry rewritten by every copy that runs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

  // An Escape on standard input is no key (only the program's own terminal
  // gives keys, and there is none here); ended, the first copy frees the
  // lock, and the moved copy then starts and rewrites the entry.
  first.WriteInput("\x1b");
  EXPECT_FALSE(first.Wait(1s).has_value());
  first.Terminate();
  ASSERT_TRUE(first.Wait(10s).has_value());
  ChildProcess third({moved.string()}, Env(), temp.path());
  ASSERT_TRUE(third.WaitForOutput("hidden", 10s)) << third.Stderr();
  EXPECT_NE(ReadFile(AutostartFile()).find("Exec=\"" + moved.string() + "\"\n"), std::string::npos)
      << ReadFile(AutostartFile());
  third.Terminate();
  EXPECT_TRUE(third.Wait(10s).has_value());
}

// A program lying deeper than the platform's path limit learns its own path
// only cut short (or not at all), which may name an ancestor's file: it starts
// as usual but writes no autostart entry rather than a wrong one.
TEST_F(Startup, AProgramWhosePathComesBackCutShortWritesNoAutostartEntry) {
  // Each level is reached through a short link to the one above, so no call
  // here is given a path over the limit; the real path is longer than it.
  const std::string level(200, 'd');
  std::vector<std::filesystem::path> hops;
  std::filesystem::path reach = temp.path();
  while (hops.size() * (level.size() + 1) < 4200) {
    std::filesystem::create_directory(reach / level);
    hops.push_back(temp / ("hop" + std::to_string(hops.size())));
    std::filesystem::create_directory_symlink(reach / level, hops.back());
    reach = hops.back();
  }
  const std::filesystem::path program = reach / "wardkeep";
  std::filesystem::copy_file(WARDKEEP_PROGRAM, program);

  ChildProcess started({program.string()}, Env(), temp.path());
  const bool hidden = started.WaitForOutput("hidden", 10s);
  started.Terminate();
  EXPECT_TRUE(started.Wait(10s).has_value());
  EXPECT_TRUE(hidden) << started.Stderr();
  EXPECT_FALSE(std::filesystem::exists(AutostartFile())) << ReadFile(AutostartFile());

  // The whole tree is too deep to be removed by its real path: deepest first.
  std::filesystem::remove(program);
  for (std::size_t i = hops.size(); i-- > 0;) {
    std::filesystem::remove((i == 0 ? temp.path() : hops[i - 1]) / level);
    std::filesystem::remove(hops[i]);
  }
}

TEST_F(Startup, AKilledCopyLeavesNoLockBehind) {
  ChildProcess first({WARDKEEP_PROGRAM}, Env(), temp.path());
  ASSERT_TRUE(first.WaitForOutput("hidden", 10s)) << first.Stderr();
  first.Kill();
  ChildProcess next({WARDKEEP_PROGRAM}, Env(), temp.path());
  EXPECT_TRUE(next.WaitForOutput("hidden", 10s)) << next.Stderr();
}

// Without a session runtime directory the lock lives in a directory of the
// user's own under the home, so nothing another local user may create in a
// shared place can keep the program from starting; a lock directory this user
// does not own, or that others may write to, is not trusted.
class FallbackLock : public Startup {
 protected:
  std::map<std::string, std::string> Env() {
    return {{"XDG_RUNTIME_DIR", ""},
            {"XDG_CACHE_HOME", ""},
            {"HOME", (temp / "home").string()},
            {"XDG_CONFIG_HOME", (temp / "config").string()}};
  }
  std::filesystem::path LockDir() { return temp / "home/.cache/wardkeep"; }
  void SetUp() override { std::filesystem::create_directory(temp / "home"); }
};

TEST_F(FallbackLock, NothingPlantedInTmpKeepsItFromStartingAndTheLockStillHolds) {
  // What any local user could create first at the name a lock in /tmp would
  // have: a directory, which no open for writing gets past, not even root's.
  const std::filesystem::path planted = "/tmp/ORV_WARDKEEP-" + std::to_string(::getuid()) + ".lock";
  std::error_code ignored;
  const bool planting = !std::filesystem::exists(planted, ignored);
  if (planting) std::filesystem::create_directory(planted, ignored);

  ChildProcess first({WARDKEEP_PROGRAM}, Env(), temp.path());
  bool started = first.WaitForOutput("hidden", 10s);
  ChildProcess second({WARDKEEP_PROGRAM}, Env(), temp.path());
  bool refused = second.Wait(10s).has_value();
  if (planting) std::filesystem::remove(planted, ignored);

  ASSERT_TRUE(started) << first.Stderr();
  ASSERT_TRUE(refused);
  EXPECT_EQ(second.Stderr(), "Error: The program is already running!\n");
  struct stat info {};
  ASSERT_EQ(::lstat(LockDir().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(info.st_uid, ::geteuid());
  first.Terminate();
  EXPECT_TRUE(first.Wait(10s).has_value());
}

TEST_F(FallbackLock, ALockDirectoryThatIsNotPrivatelyOursIsNotUsed) {
  struct Case {
    const char* name;
    std::function<bool(const std::filesystem::path&)> prepare;  // false: cannot here
  };
  const Case cases[] = {
      {"OwnedByAnotherUser",
       [](const std::filesystem::path& dir) {
         std::filesystem::create_directories(dir);
         return ::chown(dir.c_str(), 65534, 65534) == 0 && ::getuid() != 65534;
       }},
      {"WritableByOthers",
       [](const std::filesystem::path& dir) {
         std::filesystem::create_directories(dir);
         return ::chmod(dir.c_str(), 0777) == 0;
       }},
      {"ALinkToAnotherDirectory",
       [this](const std::filesystem::path& dir) {
         std::filesystem::create_directories(temp / "elsewhere");
         std::filesystem::create_directories(dir.parent_path());
         std::filesystem::create_directory_symlink(temp / "elsewhere", dir);
         return true;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(temp / "home/.cache");
    if (!c.prepare(LockDir())) continue;  // chown needs root
    ChildProcess program({WARDKEEP_PROGRAM}, Env(), temp.path());
    ASSERT_TRUE(program.Wait(10s).has_value()) << program.Stdout();
    EXPECT_EQ(program.Stderr(), "Error: The program is already running!\n");
    // Nothing was created through the link.
    EXPECT_TRUE(!std::filesystem::exists(temp / "elsewhere") ||
                std::filesystem::is_empty(temp / "elsewhere"));
  }
}

}  // namespace

// Other programs started and waited for, the marker standing in for them: a
// run is waited for to its end, and one still going at the deadline is ended.
// The system's own programs are started from where the system keeps them: on
// Windows never one planted beside this program, natively the one on PATH.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/errors.h"
#include "os/processes.h"
#include "os/session.h"
#include "support/scoped_env.h"
#include "support/target.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kWindowsTarget;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

constexpr unsigned kTimeout = 60000;

class OsSystemProgram : public testing::Test {
 protected:
  // What the planted programs have done: one line of arguments per run.
  std::string Marks() const {
    return fs::exists(temp / "marks") ? ReadFile(temp / "marks") : std::string();
  }
  // Puts the marker program at `path` (".exe" added on Windows).
  fs::path Plant(fs::path path) {
    if (kWindowsTarget) path += ".exe";
    fs::copy_file(WARDKEEP_MARKER_PROGRAM, path, fs::copy_options::overwrite_existing);
    planted.push_back(path);
    return path;
  }
  void TearDown() override {
    std::error_code ignored;
    for (const fs::path& path : planted) fs::remove(path, ignored);
  }

  TempDir temp;
  ScopedEnv marker{"WARDKEEP_MARKER", (temp / "marks").string()};
  std::vector<fs::path> planted;
};

TEST_F(OsSystemProgram, IsNeverOnePlantedBesideTheProgram) {
  if (!kWindowsTarget) GTEST_SKIP() << "natively the system's programs are found on PATH";
  // CreateProcessW's search looks in the program's own folder first.
  fs::path ownFolder = fs::path(os::OwnProgramPath().value()).parent_path();
  const fs::path plant = Plant(ownFolder / "net");
  Plant(ownFolder / "wardkeep-planted");

  // The plant works when named...
  // (cmd.exe, which runs it, drops the outer pair of quotes.)
  ASSERT_EQ(std::system(("\"\"" + plant.string() + "\" help\"").c_str()), 0);
  ASSERT_EQ(Marks(), "help\n");
  // ...but the system's program is the one that runs.
  EXPECT_EQ(os::RunSystemProgramAndWait(L"net", L"help", kTimeout), os::LaunchResult::Ended);
  EXPECT_EQ(Marks(), "help\n");
  // A name the system directory does not have is not looked for elsewhere.
  EXPECT_EQ(os::RunSystemProgramAndWait(L"wardkeep-planted", L"x", kTimeout),
            os::LaunchResult::NotStarted);
  EXPECT_EQ(Marks(), "help\n");
}

TEST_F(OsSystemProgram, NativelyTheProgramOnPathRunsWithItsArgumentsSplitIntoWords) {
  if (kWindowsTarget) GTEST_SKIP() << "on Windows only the system directory is looked in";
  fs::create_directory(temp / "bin");
  Plant(temp / "bin" / "net");
  const char* path = std::getenv("PATH");
  ScopedEnv onPath("PATH", (temp / "bin").string() + ":" + (path != nullptr ? path : ""));
  EXPECT_EQ(os::RunSystemProgramAndWait(L"net", L"stop  stock-relay", kTimeout),
            os::LaunchResult::Ended);
  EXPECT_EQ(os::RunSystemProgramAndWait(L"net", L"", kTimeout), os::LaunchResult::Ended);
  EXPECT_EQ(Marks(), "stop stock-relay\n\n");
  EXPECT_EQ(os::RunSystemProgramAndWait(L"wardkeep-no-such-program", L"x", kTimeout),
            os::LaunchResult::NotStarted);
}

TEST_F(OsSystemProgram, ANameWithAPathIsRefusedWithoutRunningAnything) {
  fs::create_directory(temp / "bin");
  fs::path program = Plant(temp / "bin" / "net");
  std::wstring full = program.wstring();
  if (kWindowsTarget) full.resize(full.size() - 4);  // the call adds ".exe"
  const std::wstring names[] = {
      full, L"bin\\net", L"bin/net", L"..\\net", L"C:net", L"net stop", L"",
  };
  for (const std::wstring& name : names) {
    EXPECT_EQ(os::RunSystemProgramAndWait(name, L"x", kTimeout), os::LaunchResult::NotStarted)
        << name.size();
  }
  EXPECT_EQ(Marks(), "");
}

// The marker under a name of its own where a system program is looked for
// (natively on PATH, on Windows in the system directory), told to take its time.
class OsWaitedProgram : public OsSystemProgram {
 protected:
  void SetUp() override {
    if (kWindowsTarget) {
      const char* root = std::getenv("SystemRoot");
      ASSERT_NE(root, nullptr);
      std::error_code error;
      const fs::path folder = fs::path(root) / "system32";
      fs::path sleeper = folder / "wardkeep-sleeper.exe";
      fs::copy_file(WARDKEEP_MARKER_PROGRAM, sleeper, fs::copy_options::overwrite_existing, error);
      if (error) GTEST_SKIP() << "the system directory cannot be written here: " << error.message();
      planted.push_back(sleeper);
      return;
    }
    fs::create_directory(temp / "bin");
    Plant(temp / "bin" / "wardkeep-sleeper");
    const char* path = std::getenv("PATH");
    onPath.emplace("PATH", (temp / "bin").string() + ":" + (path != nullptr ? path : ""));
  }
  void SleepFirst(unsigned milliseconds) {
    sleep.emplace("WARDKEEP_MARKER_SLEEP_MS", std::to_string(milliseconds));
  }
  static os::LaunchResult Run(unsigned timeout) {
    return os::RunSystemProgramAndWait(L"wardkeep-sleeper", L"stop stock-relay", timeout);
  }

  std::optional<ScopedEnv> onPath;
  std::optional<ScopedEnv> sleep;
};

TEST_F(OsWaitedProgram, ARunIsWaitedForToItsEndWhateverItsExitCode) {
  SleepFirst(700);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(kTimeout), os::LaunchResult::Ended);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(650));
  EXPECT_EQ(Marks(), "stop stock-relay\n");
  sleep.reset();
  // Without a file to mark it ends at once with a code other than 0.
  ScopedEnv noMarks("WARDKEEP_MARKER", std::nullopt);
  EXPECT_EQ(Run(kTimeout), os::LaunchResult::Ended);
}

TEST_F(OsWaitedProgram, ARunStillGoingAtTheDeadlineIsEnded) {
  SleepFirst(3000);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(1500), os::LaunchResult::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  // Ended, not left to finish: past the time the run would have marked,
  // nothing is marked.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(Marks(), "");
}

// Nothing there to run is a result of its own, not a run that ended, and the
// system's reason is the one left for the cause line: "not found" (2), which
// the spawn returns rather than sets.
TEST(OsProcesses, AProgramThatIsNotThereIsNotStarted) {
  const auto notFound = [](long code) { return code == 2 || code == 3; };
  os::ClearLastError();
  EXPECT_EQ(os::RunSystemProgramAndWait(L"wardkeep-no-such-program", L"stop x", kTimeout),
            os::LaunchResult::NotStarted);
  EXPECT_PRED1(notFound, os::LastError().code);
}

}  // namespace

// The system's own programs are started from where the system keeps them:
// on Windows never one planted beside this program, natively the one on PATH.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "os/processes.h"
#include "os/session.h"
#include "support/scoped_env.h"
#include "support/target.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

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
  fs::path ownFolder = fs::path(os::ModuleFileName()).parent_path();
  Plant(ownFolder / "net");
  Plant(ownFolder / "wardkeep-planted");

  // The plant works: a search finds it...
  ASSERT_EQ(os::RunCommandLineAndWait(L"net help", kTimeout), os::LaunchResult::Ended);
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

// Nothing there to run is a result of its own, not a run that ended.
TEST(OsProcesses, AProgramThatIsNotThereIsNotStarted) {
  TempDir temp;
  for (const fs::path& program : {temp / "missing.exe", temp / "no" / "such" / "redis-cli.exe"}) {
    EXPECT_EQ(os::LaunchHiddenAndWait(testing_support::WindowsFormPath(program),
                                      L"-p 16380 flushall", kTimeout),
              os::LaunchResult::NotStarted)
        << program;
  }
  EXPECT_EQ(os::RunCommandLineAndWait(L"wardkeep-no-such-program stop x", kTimeout),
            os::LaunchResult::NotStarted);
}

}  // namespace

// Whole copies and one-step replacement on real files, through each platform's
// file service: the target is the whole old file or the whole new one.
#include "upgrade/file_install.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "os/folder.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WindowsFormPath;
using testing_support::WriteFile;

os::HeldFolder Held(const fs::path& dir) {
  os::HeldFolder folder;
  EXPECT_EQ(folder.Open(WindowsFormPath(dir)), os::FolderOpenResult::Opened) << dir;
  return folder;
}

TEST(FileInstall, ComparesEveryByte) {
  TempDir dir;
  const std::string big(300000, 'x');
  struct Case {
    const char* what;
    std::string first;
    std::string second;
    bool same;
  } cases[] = {
      {"identical", big, big, true},
      {"both empty", "", "", true},
      {"the last byte differs", big, big.substr(0, big.size() - 1) + "y", false},
      {"a byte in the second chunk differs", big, big.substr(0, 70000) + "y" + big.substr(70001),
       false},
      {"one is shorter", big, big.substr(1), false},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "a", c.first);
    WriteFile(dir / "b", c.second);
    os::ReadOnlyFile a;
    os::ReadOnlyFile b;
    ASSERT_TRUE(a.Open(WindowsFormPath(dir / "a")));
    ASSERT_TRUE(b.Open(WindowsFormPath(dir / "b")));
    EXPECT_EQ(upgrade::SameFileContents(a, b), c.same) << c.what;
  }
  os::ReadOnlyFile a;
  ASSERT_TRUE(a.Open(WindowsFormPath(dir / "a")));
  EXPECT_FALSE(upgrade::SameFileContents(a, os::ReadOnlyFile()));
}

TEST(FileInstall, ReplacesInOneStepOrLeavesTheTargetAsItWas) {
  TempDir dir;
  fs::create_directories(dir / "app");
  fs::create_directories(dir / "dl");
  const fs::path target = dir / "app" / "stock-relay.jar";
  const fs::path leftover = dir / "app" / "stock-relay.jar.part";
  EXPECT_EQ(upgrade::TemporaryNameFor(L"stock-relay.jar"), L"stock-relay.jar.part");
  const os::HeldFolder app = Held(dir / "app");
  const os::HeldFolder dl = Held(dir / "dl");

  // A half-written file from an interrupted run is not mistaken for the copy.
  WriteFile(target, "old");
  WriteFile(leftover, "half of an earl");
  WriteFile(dir / "dl" / "new", "the new JAR");
  EXPECT_TRUE(upgrade::ReplaceFileWhole(dl, L"new", app, L"stock-relay.jar"));
  EXPECT_EQ(ReadFile(target), "the new JAR");
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(ReadFile(dir / "dl" / "new"), "the new JAR");  // copied, not moved

  // No source: the target stays, nothing is left beside it.
  EXPECT_FALSE(upgrade::ReplaceFileWhole(dl, L"missing", app, L"stock-relay.jar"));
  EXPECT_EQ(ReadFile(target), "the new JAR");
  EXPECT_FALSE(fs::exists(leftover));

  // A folder where the temporary file would go is not removed, and stops the copy.
  fs::create_directories(leftover);
  EXPECT_FALSE(upgrade::ReplaceFileWhole(dl, L"new", app, L"stock-relay.jar"));
  EXPECT_TRUE(fs::is_directory(leftover));
  fs::remove(leftover);

  // A copy into a fresh name, as the backup makes it.
  EXPECT_TRUE(upgrade::ReplaceFileWhole(app, L"stock-relay.jar", dl, L"backup"));
  EXPECT_EQ(ReadFile(dir / "dl" / "backup"), "the new JAR");
  EXPECT_FALSE(fs::exists(dir / "dl" / "backup.part"));
}

}  // namespace

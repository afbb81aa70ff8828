// Whole copies and one-step replacement on real files, through each platform's
// file service: the target is the whole old file or the whole new one.
#include "upgrade/file_install.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WindowsFormPath;
using testing_support::WriteFile;

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
    EXPECT_EQ(upgrade::SameFileContents(WindowsFormPath(dir / "a"), WindowsFormPath(dir / "b")),
              c.same)
        << c.what;
  }
  EXPECT_FALSE(
      upgrade::SameFileContents(WindowsFormPath(dir / "a"), WindowsFormPath(dir / "missing")));
}

TEST(FileInstall, ReplacesInOneStepOrLeavesTheTargetAsItWas) {
  TempDir dir;
  fs::create_directories(dir / "app");
  const fs::path target = dir / "app" / "stock-relay.jar";
  const fs::path leftover = dir / "app" / "stock-relay.jar.part";
  const std::wstring targetPath = WindowsFormPath(target);
  EXPECT_EQ(upgrade::TemporaryPathFor(targetPath), WindowsFormPath(leftover));

  // A half-written file from an interrupted run is not mistaken for the copy.
  WriteFile(target, "old");
  WriteFile(leftover, "half of an earl");
  WriteFile(dir / "new", "the new JAR");
  EXPECT_TRUE(upgrade::ReplaceFileWhole(WindowsFormPath(dir / "new"), targetPath));
  EXPECT_EQ(ReadFile(target), "the new JAR");
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(ReadFile(dir / "new"), "the new JAR");  // copied, not moved

  // No source: the target stays, nothing is left beside it.
  EXPECT_FALSE(upgrade::ReplaceFileWhole(WindowsFormPath(dir / "missing"), targetPath));
  EXPECT_EQ(ReadFile(target), "the new JAR");
  EXPECT_FALSE(fs::exists(leftover));

  // No directory to write the temporary file in.
  EXPECT_FALSE(
      upgrade::ReplaceFileWhole(WindowsFormPath(dir / "new"), WindowsFormPath(dir / "gone" / "x")));
  EXPECT_FALSE(fs::exists(dir / "gone"));

  EXPECT_TRUE(upgrade::CopyWholeFile(targetPath, WindowsFormPath(dir / "backup")));
  EXPECT_EQ(ReadFile(dir / "backup"), "the new JAR");
  EXPECT_FALSE(
      upgrade::CopyWholeFile(WindowsFormPath(dir / "missing"), WindowsFormPath(dir / "backup2")));
}

}  // namespace

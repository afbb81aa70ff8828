// File-system helpers on mapped drives: drive roots, missing drives, links and
// read-only files, which only the host's own file system can show.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/scoped_env.h"
#include "upgrade/file_system.h"
#include "upgrade/posix/upgrade_drives.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::WriteFile;
using upgrade_test::UpgradeDrives;
using upgrade_test::fs::path;

std::string CreateAndCapture(const std::wstring& target, bool& result) {
  ::testing::internal::CaptureStdout();
  result = upgrade::CreateDirectoryTree(target);
  return ::testing::internal::GetCapturedStdout();
}

TEST(UpgradeFileSystem, CreatesUnderADriveRootWithoutTouchingTheRoot) {
  UpgradeDrives drives;
  struct Case {
    std::wstring target;
    path created;
  } cases[] = {
      {L"D:\\a\\b\\c", drives.D() / "a" / "b" / "c"},
      {L"D:/x/y", drives.D() / "x" / "y"},
      {L"D:\\t\\u\\", drives.D() / "t" / "u"},
      {L"D:\\a\\b\\c", drives.D() / "a" / "b" / "c"},  // already there
      {L"\\rooted\\here", drives.C() / "rooted" / "here"},
      {L"D:\\", drives.D()},
  };
  for (const Case& c : cases) {
    bool result = false;
    EXPECT_EQ(CreateAndCapture(c.target, result), "");
    EXPECT_TRUE(result);
    EXPECT_TRUE(is_directory(c.created));
  }
}

TEST(UpgradeFileSystem, TheLongestPathAcceptedHas259Characters) {
  UpgradeDrives drives;
  // "D:\" and 256 more: components of 50 so that no single name is too long.
  std::wstring longest = L"D:";
  while (longest.size() + 51 <= 259) longest += L"\\" + std::wstring(50, L'n');
  longest += L"\\" + std::wstring(259 - longest.size() - 1, L'e');
  ASSERT_EQ(longest.size(), 259u);

  bool result = false;
  EXPECT_EQ(CreateAndCapture(longest, result), "");
  EXPECT_TRUE(result);

  UpgradeDrives fresh;
  EXPECT_EQ(CreateAndCapture(longest + L"x", result), "错误: 路径过长，超过MAX_PATH限制\n");
  EXPECT_FALSE(result);
  EXPECT_TRUE(is_empty(fresh.D()));
}

TEST(UpgradeFileSystem, AMissingDriveFailsAtItsFirstLevel) {
  UpgradeDrives drives;
  ScopedEnv x("WARDKEEP_DRIVE_X", std::nullopt);
  bool result = true;
  EXPECT_EQ(CreateAndCapture(L"X:\\a\\b", result), "创建目录失败: X:\\a\n");
  EXPECT_FALSE(result);
}

TEST(UpgradeFileSystem, ALinkToADirectoryIsRemovedWithoutEmptyingItsTarget) {
  UpgradeDrives drives;
  create_directories(drives.C() / "outside");
  WriteFile(drives.C() / "outside" / "precious.jar", "keep me");
  create_directories(drives.D() / "tree" / "sub");
  create_directory_symlink(drives.C() / "outside", drives.D() / "tree" / "sub" / "link");
  create_symlink(drives.C() / "outside" / "precious.jar", drives.D() / "tree" / "file-link");
  create_symlink(drives.D() / "gone", drives.D() / "tree" / "dangling");

  EXPECT_TRUE(upgrade::DeletePathTree(L"D:\\tree"));
  EXPECT_FALSE(exists(symlink_status(drives.D() / "tree")));
  EXPECT_EQ(testing_support::ReadFile(drives.C() / "outside" / "precious.jar"), "keep me");

  // Handed the link itself, too.
  create_directory_symlink(drives.C() / "outside", drives.D() / "link");
  EXPECT_TRUE(upgrade::DeletePathTree(L"D:\\link"));
  EXPECT_FALSE(exists(symlink_status(drives.D() / "link")));
  EXPECT_TRUE(exists(drives.C() / "outside" / "precious.jar"));
}

TEST(UpgradeFileSystem, AReadOnlyFileStaysWithEveryDirectoryAboveIt) {
  UpgradeDrives drives;
  path tree = drives.D() / "tree";
  create_directories(tree / "a" / "b");
  create_directories(tree / "other");
  WriteFile(tree / "a" / "b" / "locked.jar", "x");
  chmod((tree / "a" / "b" / "locked.jar").c_str(), 0444);
  WriteFile(tree / "a" / "b" / "free.jar", "y");
  WriteFile(tree / "other" / "free.jar", "z");

  EXPECT_TRUE(upgrade::DeletePathTree(L"D:\\tree"));
  EXPECT_TRUE(exists(tree / "a" / "b" / "locked.jar"));
  EXPECT_FALSE(exists(tree / "a" / "b" / "free.jar"));
  EXPECT_FALSE(exists(tree / "other"));
}

}  // namespace

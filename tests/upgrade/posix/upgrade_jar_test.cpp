// The JAR replacement on the real machine: mapped drives, the stand-in "net"
// first on PATH, the stand-in service manager and the local clock. The
// in-process tables cover the other ways it can go; this is the one whole
// run through every real part.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/zip_builder.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/staged_upgrade.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;
using upgrade::UpgradeEnd;
namespace fs = upgrade_test::fs;

TEST(JarUpgrade, OnTheRealMachineBacksUpStopsReplacesAndStarts) {
  upgrade_test::UpgradeDrives drives;
  const fs::path root = drives.D() / "orv" / "stock-relay";
  fs::create_directories(root / "app");
  fs::create_directories(root / "backUp");
  const std::string oldJar = testing_support::SampleJar(3000, 1);
  const std::string newJar = testing_support::SampleJar(5000, 2);
  WriteFile(root / "app" / "stock-relay.jar", oldJar);

  const os::LocalTime before = os::CurrentLocalTime();
  ::testing::internal::CaptureStdout();
  const auto end = upgrade_test::UpgradeFromBytes(L"D:\\orv\\stock-relay", newJar);
  std::string lines = ::testing::internal::GetCapturedStdout();
  const os::LocalTime after = os::CurrentLocalTime();

  // The backup is named by the local time of the run.
  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(root / "backUp")) backups.push_back(entry.path());
  ASSERT_EQ(backups.size(), 1u) << lines;
  const std::wstring stamp = backups.front().filename().wstring();
  EXPECT_TRUE(stamp == upgrade::FormatBackupTimeStamp(before) ||
              stamp == upgrade::FormatBackupTimeStamp(after))
      << backups.front();
  lines =
      std::regex_replace(lines, std::regex(R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})"), "<stamp>");

  EXPECT_EQ(end, UpgradeEnd::Kept);
  EXPECT_EQ(lines,
            "应用目录: D:\\orv\\stock-relay\\app\n"
            "备份目录: D:\\orv\\stock-relay\\backUp\n"
            "创建备份子目录: D:\\orv\\stock-relay\\backUp\\<stamp>\n"
            "找到新的JAR文件，开始处理...\n"
            "停止服务: stock-relay\n"
            "备份旧JAR文件: D:\\orv\\stock-relay\\app\\stock-relay.jar -> "
            "D:\\orv\\stock-relay\\backUp\\<stamp>\n"
            "替换JAR文件: D:\\orv\\stock-relay\\app\\stock-relay.jar.part -> "
            "D:\\orv\\stock-relay\\app\n"
            "启动服务: stock-relay\n"
            "服务已运行: stock-relay\n"
            "操作完成。\n");
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\n");
  EXPECT_EQ(drives.services.UnitState("stock-relay"), "active");
  EXPECT_EQ(ReadFile(root / "app" / "stock-relay.jar"), newJar);
  EXPECT_EQ(ReadFile(backups.front() / "stock-relay.jar"), oldJar);
  EXPECT_FALSE(fs::exists(root / "app" / "stock-relay.jar.part"));
}

}  // namespace

// The JAR replacement on mapped drives with a stand-in "net" on PATH: the exact
// progress lines, the files left behind, and the service commands issued.
#include <gtest/gtest.h>

#include <chrono>

#include <regex>
#include <string>

#include "support/scoped_env.h"
#include "support/zip_builder.h"
#include "upgrade/command_runner.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/service_wait.h"
#include "upgrade/tunables.h"

namespace {

using namespace std::chrono_literals;

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::WriteFile;
using upgrade_test::UpgradeDrives;
using upgrade_test::fs::path;

const std::string kStamp = "<stamp>";
const std::string kOldJar = testing_support::SampleJar(3000, 1);
const std::string kNewJar = testing_support::SampleJar(5000, 2);

using upgrade::UpgradeEnd;

struct Outcome {
  UpgradeEnd result;
  std::string lines;  // time stamps replaced by <stamp>
};

Outcome Upgrade(const std::wstring& newJar, const std::wstring& root) {
  ::testing::internal::CaptureStdout();
  const UpgradeEnd result = upgrade::UpgradeJar(newJar, root);
  std::string out = ::testing::internal::GetCapturedStdout();
  static const std::regex stamp(R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})");
  return {result, std::regex_replace(out, stamp, kStamp)};
}

// The single time-stamped sub-directory the upgrade made.
path OnlyBackup(const path& backUp) {
  std::vector<path> entries;
  for (const auto& entry : upgrade_test::fs::directory_iterator(backUp)) {
    entries.push_back(entry.path());
  }
  EXPECT_EQ(entries.size(), 1u);
  return entries.empty() ? path() : entries.front();
}

class JarUpgrade : public ::testing::Test {
 protected:
  void SetUp() override {
    create_directories(Root() / "app");
    create_directories(drives.D() / "下载");
    WriteFile(drives.D() / "下载" / "stock-relay.jar", kNewJar);
  }
  path Root() const { return drives.D() / "orv" / "stock-relay"; }

  UpgradeDrives drives;
  // Not representable in every ANSI code page: the path must reach the copy intact.
  const std::wstring newJar = L"D:\\下载\\stock-relay.jar";
  const std::wstring root = L"D:\\orv\\stock-relay";
};

TEST_F(JarUpgrade, FullUpgradeBacksUpStopsReplacesAndStarts) {
  create_directories(Root() / "backUp");
  WriteFile(Root() / "app" / "stock-relay.jar", kOldJar);

  Outcome outcome = Upgrade(newJar, root);
  EXPECT_EQ(outcome.result, UpgradeEnd::Kept);
  EXPECT_EQ(outcome.lines,
            "应用目录: D:\\orv\\stock-relay\\app\n"
            "备份目录: D:\\orv\\stock-relay\\backUp\n"
            "创建备份子目录: D:\\orv\\stock-relay\\backUp\\<stamp>\n"
            "找到新的JAR文件，开始处理...\n"
            "停止服务: stock-relay\n"
            "备份旧JAR文件: D:\\orv\\stock-relay\\app\\stock-relay.jar -> "
            "D:\\orv\\stock-relay\\backUp\\<stamp>\n"
            "替换JAR文件: D:\\下载\\stock-relay.jar -> D:\\orv\\stock-relay\\app\n"
            "启动服务: stock-relay\n"
            "服务已运行: stock-relay\n"
            "操作完成。\n");
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\n");
  EXPECT_EQ(ReadFile(Root() / "app" / "stock-relay.jar"), kNewJar);
  EXPECT_EQ(ReadFile(OnlyBackup(Root() / "backUp") / "stock-relay.jar"), kOldJar);
  EXPECT_TRUE(exists(drives.D() / "下载" / "stock-relay.jar"))
      << "the download is copied, not moved";
}

TEST_F(JarUpgrade, TheBackupIsNamedByTheLocalTimeNow) {
  os::LocalTime before = os::CurrentLocalTime();
  Upgrade(newJar, root);
  os::LocalTime after = os::CurrentLocalTime();
  std::wstring name = OnlyBackup(Root() / "backUp").filename().wstring();
  EXPECT_TRUE(name == upgrade::FormatBackupTimeStamp(before) ||
              name == upgrade::FormatBackupTimeStamp(after))
      << std::string(name.begin(), name.end());
}

TEST_F(JarUpgrade, FirstUpgradeOnAFreshInstallationCreatesTheBackupDirectory) {
  Outcome outcome = Upgrade(newJar, root);
  EXPECT_EQ(outcome.result, UpgradeEnd::Kept);
  EXPECT_EQ(outcome.lines,
            "应用目录: D:\\orv\\stock-relay\\app\n"
            "备份目录: D:\\orv\\stock-relay\\backUp\n"
            "创建备份目录: D:\\orv\\stock-relay\\backUp\n"
            "创建备份子目录: D:\\orv\\stock-relay\\backUp\\<stamp>\n"
            "找到新的JAR文件，开始处理...\n"
            "停止服务: stock-relay\n"
            "未找到旧JAR文件，跳过备份\n"
            "替换JAR文件: D:\\下载\\stock-relay.jar -> D:\\orv\\stock-relay\\app\n"
            "启动服务: stock-relay\n"
            "服务已运行: stock-relay\n"
            "操作完成。\n");
  EXPECT_EQ(ReadFile(Root() / "app" / "stock-relay.jar"), kNewJar);
  EXPECT_TRUE(is_empty(OnlyBackup(Root() / "backUp")));
}

TEST_F(JarUpgrade, AMissingNewJarLeavesTheServiceAlone) {
  WriteFile(Root() / "app" / "stock-relay.jar", "old");
  Outcome outcome = Upgrade(L"D:\\dl\\absent.jar", root);
  EXPECT_EQ(outcome.result, UpgradeEnd::Refused);
  EXPECT_EQ(outcome.lines,
            "应用目录: D:\\orv\\stock-relay\\app\n"
            "备份目录: D:\\orv\\stock-relay\\backUp\n"
            "创建备份目录: D:\\orv\\stock-relay\\backUp\n"
            "创建备份子目录: D:\\orv\\stock-relay\\backUp\\<stamp>\n"
            "未找到新的JAR文件 (D:\\dl\\absent.jar)，不进行JAR包替换升级\n"
            "操作完成。\n");
  EXPECT_EQ(drives.NetCalls(), "");
  EXPECT_EQ(ReadFile(Root() / "app" / "stock-relay.jar"), "old");
  EXPECT_TRUE(is_empty(OnlyBackup(Root() / "backUp")));
}

// The new JAR is copied into "app" before the service is touched: without the
// folder nothing can be installed, so the service is left running.
TEST_F(JarUpgrade, WithoutAnAppDirectoryTheServiceIsLeftAlone) {
  remove(Root() / "app");
  Outcome outcome = Upgrade(newJar, root);
  EXPECT_EQ(outcome.result, UpgradeEnd::Refused);
  EXPECT_EQ(outcome.lines,
            "应用目录: D:\\orv\\stock-relay\\app\n"
            "备份目录: D:\\orv\\stock-relay\\backUp\n"
            "错误: 安装目录不可用 (D:\\orv\\stock-relay\\app 不存在)，不进行JAR包替换升级\n"
            "操作完成。\n");
  EXPECT_EQ(drives.NetCalls(), "");
  EXPECT_FALSE(exists(Root() / "app"));
  EXPECT_FALSE(exists(Root() / "backUp"));
}

TEST_F(JarUpgrade, NoBackupPlaceMeansNothingElseIsDone) {
  struct Case {
    std::wstring root;
    UpgradeEnd result;
    std::string lines;
  } cases[] = {
      // No installation there at all: nothing is made on the way.
      {L"X:\\orv\\stock-relay", UpgradeEnd::Refused,
       "应用目录: X:\\orv\\stock-relay\\app\n"
       "备份目录: X:\\orv\\stock-relay\\backUp\n"
       "错误: 安装目录不可用 (X:\\orv 不存在)，不进行JAR包替换升级\n"
       "操作完成。\n"},
      // A file named like the backup directory is not taken for one.
      {L"D:\\orv\\stock-relay", UpgradeEnd::BackupFoldersNotMade,
       "应用目录: D:\\orv\\stock-relay\\app\n"
       "备份目录: D:\\orv\\stock-relay\\backUp\n"
       "错误: D:\\orv\\stock-relay\\backUp 不是文件夹\n"
       "创建备份目录失败\n"},
  };
  ScopedEnv noX("WARDKEEP_DRIVE_X", std::nullopt);
  WriteFile(Root() / "backUp", "in the way");
  WriteFile(Root() / "app" / "stock-relay.jar", "old");
  for (const Case& c : cases) {
    Outcome outcome = Upgrade(newJar, c.root);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.lines, c.lines);
  }
  EXPECT_EQ(drives.NetCalls(), "");
  EXPECT_EQ(ReadFile(Root() / "app" / "stock-relay.jar"), "old");
}

// Without a service manager to ask, the service's state is unknown, which is
// not "stopped": nothing is stopped, copied or started.
TEST_F(JarUpgrade, WithoutAServiceManagerNothingIsTouched) {
  WriteFile(Root() / "app" / "stock-relay.jar", kOldJar);
  drives.RemoveNet();
  ScopedEnv onlyOurBin("PATH", (drives.D() / "no-such-bin").string());
  Outcome outcome = Upgrade(newJar, root);
  EXPECT_EQ(outcome.result, UpgradeEnd::Refused);
  EXPECT_NE(outcome.lines.find("找到新的JAR文件，开始处理...\n"
                               "错误: 无法查询服务状态: stock-relay，不进行JAR包替换升级\n"
                               "操作完成。\n"),
            std::string::npos)
      << outcome.lines;
  EXPECT_EQ(ReadFile(Root() / "app" / "stock-relay.jar"), kOldJar);
}

TEST_F(JarUpgrade, AStuckServiceCommandIsEndedAndAServiceThatDoesNotStopKeepsItsJar) {
  drives.WriteNet("echo \"$*\" >> '" + drives.NetLog().string() + "'\nexec sleep 30\n");
  WriteFile(Root() / "app" / "stock-relay.jar", kOldJar);
  tunable::ScopedTunable shorter(upgrade::tunables::commandTimeLimit, 200ms);
  tunable::ScopedTunable stopWait(upgrade::tunables::serviceStopWait, 300ms);
  Outcome outcome = Upgrade(newJar, root);
  // Still running once it has settled: no start is asked of it.
  EXPECT_NE(outcome.lines.find("警告: 停止服务失败，可能服务未运行\n"
                               "错误: 服务未能停止，不进行JAR包替换升级\n"
                               "服务已运行: stock-relay\n"
                               "操作完成。\n"),
            std::string::npos)
      << outcome.lines;
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\n");
  EXPECT_EQ(ReadFile(Root() / "app" / "stock-relay.jar"), kOldJar);
}

}  // namespace

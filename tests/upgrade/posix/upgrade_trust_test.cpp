// The upgrade against the real service manager's answers and a hostile file
// system: a state that cannot be read is never taken for "stopped"; a rollback
// never puts the old JAR back under a running service; a settled failure is
// known at once; nothing is written through a planted link.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

#include "os/machine.h"
#include "support/zip_builder.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/staged_upgrade.h"
#include "upgrade/tunables.h"

namespace {

using namespace std::chrono_literals;
namespace fs = upgrade_test::fs;
using testing_support::ReadFile;
using testing_support::WriteFile;

const std::string kOldJar = testing_support::SampleJar(4000, 1);
const std::string kNewJar = testing_support::SampleJar(6000, 2);

class UpgradeTrust : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Root() / "app");
    WriteFile(Root() / "app" / "stock-relay.jar", kOldJar);
  }
  fs::path Root() const { return drives.D() / "orv" / "stock-relay"; }
  std::string Installed() const { return ReadFile(Root() / "app" / "stock-relay.jar"); }
  // "net" as a shell case: what stop and start do to the unit's state file.
  void Net(const std::string& stop, const std::string& start) const {
    drives.WriteNet(drives.LogNet() + "unit='" + drives.services.UnitFile("").string() +
                    "'$2\ncase \"$1\" in\n  stop) " + stop + " ;;\n  start) " + start +
                    " ;;\nesac\n");
  }
  std::string Upgrade() {
    ::testing::internal::CaptureStdout();
    upgrade_test::UpgradeFromBytes(L"D:\\orv\\stock-relay", kNewJar);
    return ::testing::internal::GetCapturedStdout();
  }

  upgrade_test::UpgradeDrives drives;
};

constexpr const char* kStops = "echo inactive > \"$unit\"";
constexpr const char* kRuns = "echo active > \"$unit\"";
constexpr const char* kStaysStopped = ":";
constexpr const char* kBecomesUnreadable = "echo broken > \"$unit\"";

TEST_F(UpgradeTrust, ServiceStatesDecideReplacementAndRollback) {
  struct Row {
    const char* what;
    const char* unitBefore;  // nullptr: the service is not registered
    const char* start;
    bool newInstalled;
    const char* netCalls;
    const char* line;  // one line the run must say
  } rows[] = {
      {"runs after the start", "active", kRuns, true, "stop stock-relay\nstart stock-relay\n",
       "服务已运行: stock-relay\n"},
      {"settles stopped: stopped again, then the old JAR", "active", kStaysStopped, false,
       "stop stock-relay\nstart stock-relay\nstop stock-relay\nstart stock-relay\n",
       "错误: 服务启动后已停止: stock-relay\n"},
      {"unreadable after the start: no rollback", "active", kBecomesUnreadable, true,
       "stop stock-relay\nstart stock-relay\n", "错误: 无法确认服务是否运行，不恢复旧JAR文件\n"},
      // Not running before: nothing shows the new JAR at fault, so it stays.
      {"stopped before, settles stopped: the new JAR stays", "inactive", kStaysStopped, true,
       "stop stock-relay\nstart stock-relay\n",
       "错误: 服务启动后已停止: stock-relay\n服务在更新前未运行，保留新的JAR文件: stock-relay\n"},
      // On its way up before: it counts as running, and the old JAR goes back.
      {"starting before, settles stopped: the old JAR", "activating", kStaysStopped, false,
       "stop stock-relay\nstart stock-relay\nstop stock-relay\nstart stock-relay\n",
       "错误: 服务未能运行，恢复旧JAR文件: "},
      {"unreadable before: nothing touched", "broken", kRuns, false, "",
       "错误: 无法查询服务状态: stock-relay，不进行JAR包替换升级\n"},
      {"not registered: nothing touched", nullptr, kRuns, false, "",
       "错误: 无法查询服务状态: stock-relay，不进行JAR包替换升级\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetUp();
    fs::remove_all(Root() / "backUp");
    fs::remove_all(drives.StateDir());
    fs::remove(drives.NetLog());
    if (row.unitBefore != nullptr) {
      drives.services.SetUnit("stock-relay", row.unitBefore);
    } else {
      fs::remove(drives.services.UnitFile("stock-relay"));
    }
    Net(kStops, row.start);
    const auto begun = std::chrono::steady_clock::now();
    const std::string out = Upgrade();
    // With the production waits: a settled outcome ends them early.
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 20s);
    EXPECT_EQ(Installed(), row.newInstalled ? kNewJar : kOldJar) << out;
    EXPECT_EQ(drives.NetCalls(), row.netCalls) << out;
    EXPECT_NE(out.find(row.line), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(Root() / "app" / "stock-relay.jar.part")) << out;
  }
}

TEST_F(UpgradeTrust, AStopThatDoesNotFinishIsWaitedOutBeforeTheStart) {
  tunable::ScopedTunable quickStop(upgrade::tunables::serviceStopWait, 300ms);
  // The manager needs longer than "net stop" waited; the start records what it saw.
  Net("echo deactivating > \"$unit\"; (sleep 2; echo inactive > \"$unit\") &",
      "echo \"saw $(cat \"$unit\")\" >> '" + drives.NetLog().string() + "'; " + kRuns);
  const std::string out = Upgrade();
  EXPECT_EQ(Installed(), kOldJar) << out;
  EXPECT_NE(out.find("错误: 服务未能停止，不进行JAR包替换升级\n启动服务: stock-relay\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\nsaw inactive\n");
  EXPECT_EQ(drives.services.UnitState("stock-relay"), "active");
}

TEST_F(UpgradeTrust, NothingIsWrittenThroughAPlantedLink) {
  const fs::path elsewhere = drives.C() / "elsewhere";
  fs::create_directories(elsewhere);
  struct Row {
    const char* what;
    bool plantBackUp;  // backUp itself, else every stamp of the next seconds
    bool installs;
  } rows[] = {{"links planted under the coming time stamps", false, true},
              {"backUp itself a link", true, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetUp();
    fs::remove_all(Root() / "backUp");
    fs::remove(drives.NetLog());
    if (row.plantBackUp) {
      fs::create_directory_symlink(elsewhere, Root() / "backUp");
    } else {
      fs::create_directories(Root() / "backUp");
      const std::time_t now = std::time(nullptr);
      for (int second = 0; second < 5; ++second) {
        std::tm local{};
        const std::time_t at = now + second;
        localtime_r(&at, &local);
        const os::LocalTime stamp{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour,        local.tm_min,     local.tm_sec};
        const std::wstring name = upgrade::FormatBackupTimeStamp(stamp);
        fs::create_directory_symlink(elsewhere, Root() / "backUp" / fs::path(name));
      }
    }
    const std::string out = Upgrade();
    EXPECT_TRUE(fs::is_empty(elsewhere)) << out;
    EXPECT_EQ(Installed(), row.installs ? kNewJar : kOldJar) << out;
    if (!row.installs) {
      EXPECT_EQ(drives.NetCalls(), "") << out;
      EXPECT_NE(out.find("错误: 安装目录中有链接或联接点 (D:\\orv\\stock-relay\\backUp)"),
                std::string::npos)
          << out;
    } else {
      // The backup went into a folder of its own making, beside the links.
      EXPECT_NE(out.find("备份旧JAR文件: "), std::string::npos) << out;
      std::regex fresh(R"(创建备份子目录: D:\\orv\\stock-relay\\backUp\\[0-9_-]+_[0-9]+\n)");
      EXPECT_TRUE(std::regex_search(out, fresh)) << out;
    }
    fs::remove_all(Root() / "backUp");
  }
}

}  // namespace

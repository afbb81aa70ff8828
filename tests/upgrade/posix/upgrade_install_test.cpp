// The installation under failure, on a real file system: the disk filling up
// (a file-size limit), the process killed at each step, and a service that
// does not run afterwards. Whatever happens, app/stock-relay.jar is the whole
// old JAR or the whole new one, and the next run leaves no temporary file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "support/jar_signing.h"
#include "support/zip_builder.h"
#include "upgrade/command_runner.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/service_wait.h"
#include "upgrade/tunables.h"

namespace {

namespace fs = upgrade_test::fs;
using namespace std::chrono_literals;
using testing_support::ReadFile;
using testing_support::WriteFile;

const std::string kOldJar = testing_support::SampleJar(600 * 1024, 1);
const std::string kNewJar = testing_support::SampleJar(2 * 1024 * 1024, 2);

struct Interruption {
  const char* what;
  rlim_t fileSizeLimit = RLIM_INFINITY;  // bytes any one file may reach
  bool survivesLimit = false;            // writes past it fail instead of killing
  std::string netStop{};                 // extra lines for "net stop" / "net start"
  std::string netStart{};
  std::string killAfterLine{};  // the test kills the run once this line is out ...
  int killDelayMs = 0;          // ... and this much later
};

class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(App());
    fs::create_directories(drives.D() / "dl");
    WriteFile(App() / "stock-relay.jar", kOldJar);
    WriteFile(drives.D() / "dl" / "stock-relay.jar", kNewJar);
  }
  fs::path Root() const { return drives.D() / "orv" / "stock-relay"; }
  fs::path App() const { return Root() / "app"; }
  std::string Installed() const { return ReadFile(App() / "stock-relay.jar"); }
  bool TemporaryLeft() const { return fs::exists(App() / "stock-relay.jar.part"); }
  std::string Output() const { return ReadFile(m_output); }

  // The upgrade in a child process of its own, so that it can be limited and
  // killed; returns its wait status.
  int RunInChild(const Interruption& c) {
    drives.WriteNet(drives.LogNet() + "[ \"$1\" = stop ] && { " +
                    (c.netStop.empty() ? ":" : c.netStop) + "; }\n[ \"$1\" = start ] && { " +
                    (c.netStart.empty() ? ":" : c.netStart) + "; }\n" + drives.ServeNet());
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
      std::FILE* out = std::freopen(m_output.c_str(), "w", stdout);
      if (out == nullptr) _exit(99);
      if (c.survivesLimit) signal(SIGXFSZ, SIG_IGN);
      rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      upgrade::UpgradeJar(L"D:\\dl\\stock-relay.jar", L"D:\\orv\\stock-relay");
      _exit(0);
    }
    if (!c.killAfterLine.empty()) {
      auto deadline = std::chrono::steady_clock::now() + 20s;
      while (Output().find(c.killAfterLine) == std::string::npos &&
             std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(200us);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(c.killDelayMs));
      kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  }

  upgrade_test::UpgradeDrives drives;

 private:
  testing_support::TempDir m_scratch;
  fs::path m_output = m_scratch / "out.txt";
};

TEST_F(Installation, InterruptedAnywhereTheJarIsWholeAndTheNextRunFinishes) {
  const std::string killSelf = "kill -9 $PPID; exit 0";
  const rlim_t backupCut = kOldJar.size() / 2;
  const rlim_t copyCut = (kOldJar.size() + kNewJar.size()) / 2;
  Interruption cases[] = {
      {.what = "the disk full half-way through the new JAR",
       .fileSizeLimit = copyCut,
       .survivesLimit = true},
      {.what = "the disk full at its start", .fileSizeLimit = backupCut, .survivesLimit = true},
      {.what = "killed during the backup", .fileSizeLimit = backupCut},
      {.what = "killed during the copy", .fileSizeLimit = copyCut},
      {.what = "killed after the stop", .netStop = killSelf},
      {.what = "killed before the start", .netStart = killSelf},
      {.what = "killed as the replacement begins", .killAfterLine = "替换JAR文件:"},
      {.what = "killed 2 ms into the replacement",
       .killAfterLine = "替换JAR文件:",
       .killDelayMs = 2},
      {.what = "killed 8 ms into the replacement",
       .killAfterLine = "替换JAR文件:",
       .killDelayMs = 8},
      {.what = "killed 30 ms into the replacement",
       .killAfterLine = "替换JAR文件:",
       .killDelayMs = 30},
  };
  int sawOld = 0;
  int sawNew = 0;
  for (const Interruption& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(App() / "stock-relay.jar", kOldJar);
    const int status = RunInChild(c);
    const std::string output = Output();
    const std::string installed = Installed();
    EXPECT_TRUE(installed == kOldJar || installed == kNewJar)
        << "installed JAR of " << installed.size() << " bytes\n"
        << output;
    sawOld += installed == kOldJar;
    sawNew += installed == kNewJar;

    if (c.survivesLimit) {
      // The new JAR is copied into "app" while the service still runs: a full
      // disk is found there, and the service is never stopped for it.
      EXPECT_TRUE(WIFEXITED(status)) << output;
      EXPECT_TRUE(installed == kOldJar);
      EXPECT_FALSE(TemporaryLeft());
      EXPECT_NE(
          output.find("错误: 无法复制新的JAR文件 (D:\\dl\\stock-relay.jar)，不进行JAR包替换升级\n"
                      "原因: "),
          std::string::npos)
          << output;
      EXPECT_EQ(output.find("停止服务:"), std::string::npos) << output;
    } else {
      EXPECT_TRUE(WIFSIGNALED(status)) << output;
    }

    // The next run installs the new JAR and leaves nothing behind; when the
    // new JAR is already whole in place it is not installed again.
    drives.WriteNet(drives.LogNet() + drives.ServeNet());
    fs::remove(drives.NetLog());
    ::testing::internal::CaptureStdout();
    upgrade::UpgradeJar(L"D:\\dl\\stock-relay.jar", L"D:\\orv\\stock-relay");
    const std::string next = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Installed() == kNewJar) << next;
    EXPECT_FALSE(TemporaryLeft());
    if (installed == kNewJar) {
      EXPECT_NE(next.find("提供的JAR文件与已安装的相同 (SHA-256 " +
                          testing_support::Sha256Hex(kNewJar) + ")，不进行更新\n操作完成。\n"),
                std::string::npos)
          << next;
      EXPECT_EQ(drives.NetCalls(), "") << next;
    } else {
      EXPECT_EQ(drives.services.UnitState("stock-relay"), "active");
    }
  }
  // Both ends were reached: the kills did land before and after the move.
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
}

TEST_F(Installation, AServiceThatDoesNotRunGetsTheOldJarBackAndASecondStart) {
  tunable::ScopedTunable runWait(upgrade::tunables::serviceRunWait, 400ms);
  tunable::ScopedTunable stopWait(upgrade::tunables::serviceStopWait, 3000ms);
  tunable::ScopedTunable poll(upgrade::tunables::serviceWaitPoll, 50ms);
  tunable::ScopedTunable commandLimit(upgrade::tunables::commandTimeLimit, 300ms);
  // A restore that fails is tried once more, two seconds later.
  tunable::ScopedTunable restoreTries(upgrade::tunables::restoreAttempts, 2);
  tunable::ScopedTunable restorePause(upgrade::tunables::restoreRetryPause, 2000ms);
  const std::string unit = drives.services.UnitFile("stock-relay").string();
  const std::string starts = (Root() / "starts").string();
  const std::string recorded = "RolledBackJarSha256=" + testing_support::Sha256Hex(kNewJar) + "\n";
  // Where the restore puts the old JAR before moving it into place: a folder
  // there (as a reader holding the JAR would on Windows) makes a try fail.
  const std::string inTheWay = (App() / "stock-relay.jar.part").string();
  const std::string firstStartFails =
      "[ \"$1\" = start ] && [ $(wc -l < '" + starts + "') -eq 1 ] && exit 2\n";
  const std::string blockTheRestore =
      "[ \"$1\" = stop ] && [ $(wc -l < '" + starts + "') -eq 1 ] && mkdir '" + inTheWay + "'\n";
  struct Case {
    const char* what;
    std::string net;  // runs before the stand-in serves the call
    std::string installed;
    std::string starts;
    std::string lines;
    bool refusedAfter = false;  // the new JAR's hash is kept
    const char* before = "active";
  } cases[] = {
      {"runs with the new JAR", "", kNewJar, "1",
       "启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n"},
      // Stopped before the update: that the new JAR does not run says nothing
      // of it, so it stays, and nothing is kept against it.
      {"stopped before, the new JAR does not run", "[ \"$1\" = start ] && exit 2\n", kNewJar, "1",
       "启动服务: stock-relay\n错误: 服务启动后已停止: stock-relay\n"
       "服务在更新前未运行，保留新的JAR文件: stock-relay\n操作完成。\n",
       false, "inactive"},
      {"failed before, the new JAR does not run", "[ \"$1\" = start ] && exit 2\n", kNewJar, "1",
       "服务在更新前未运行，保留新的JAR文件: stock-relay\n", false, "failed"},
      {"stopped before, the new JAR runs", "", kNewJar, "1",
       "启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n", false, "inactive"},
      {"the new JAR does not start, the old one does",
       // The first start fails as a broken JAR would; the next one runs.
       "[ \"$1\" = start ] && [ $(wc -l < '" + starts + "') -eq 1 ] && exit 2\n", kOldJar, "2",
       // Stopped at once after the start: known then, not after the whole wait;
       // and stopped again before the old JAR goes back.
       "启动服务: stock-relay\n"
       "错误: 服务启动后已停止: stock-relay\n"
       "错误: 服务未能运行，恢复旧JAR文件: D:\\orv\\stock-relay\\backUp\\<stamp>\\stock-relay.jar "
       "-> D:\\orv\\stock-relay\\app\n"
       "停止服务: stock-relay\n"
       "启动服务: stock-relay\n服务已运行: stock-relay\n"
       "已记录未能运行的JAR文件: SHA-256 " +
           testing_support::Sha256Hex(kNewJar) + " (" + drives.StateDir().string() +
           "/state)\n操作完成。\n",
       true},
      {"nothing runs at all", "[ \"$1\" = start ] && exit 2\n", kOldJar, "2",
       "错误: 服务未能运行，恢复旧JAR文件: D:\\orv\\stock-relay\\backUp\\<stamp>\\stock-relay.jar "
       "-> D:\\orv\\stock-relay\\app\n"
       "停止服务: stock-relay\n"
       // Neither JAR runs: the cause lies elsewhere, nothing is kept against the new one.
       "启动服务: stock-relay\n错误: 服务启动后已停止: stock-relay\n操作完成。\n"},
      {"a stop that times out while the service is still stopping",
       // "net stop" gives up; the manager stops the service a moment later.
       "[ \"$1\" = stop ] && { setsid sh -c \"sleep 0.8; echo inactive > '" + unit +
           "'\" & exec sleep 30; }\n",
       kNewJar, "1", "警告: 停止服务失败，可能服务未运行\n备份旧JAR文件: "},
      {"the old JAR comes back at the second try",
       firstStartFails + blockTheRestore + "[ \"$1\" = stop ] && setsid sh -c \"sleep 1; rmdir '" +
           inTheWay + "'\" &\n",
       kOldJar, "2",
       "停止服务: stock-relay\n"
       "恢复旧JAR文件失败，稍后重试 (1/2)\n"
       // What stood in the way is said, though the system has no word for it.
       "原因: 临时文件的名称已被占用\n"
       "启动服务: stock-relay\n服务已运行: stock-relay\n已记录未能运行的JAR文件: ",
       true},
      {"the old JAR does not come back within the tries",
       firstStartFails + blockTheRestore + "[ \"$1\" = start ] && rmdir '" + inTheWay +
           "' 2>/dev/null\n",
       kNewJar, "2",
       "停止服务: stock-relay\n"
       "恢复旧JAR文件失败，稍后重试 (1/2)\n原因: 临时文件的名称已被占用\n"
       "恢复旧JAR文件失败\n原因: 临时文件的名称已被占用\n"
       "启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(Root() / "starts");
    fs::remove_all(Root() / "backUp");
    fs::remove_all(drives.StateDir());
    WriteFile(App() / "stock-relay.jar", kOldJar);
    drives.services.SetUnit("stock-relay", c.before);
    drives.WriteNet(drives.LogNet() + "[ \"$1\" = start ] && echo x >> '" + starts + "'\n" + c.net +
                    drives.ServeNet());
    ::testing::internal::CaptureStdout();
    upgrade::UpgradeJar(L"D:\\dl\\stock-relay.jar", L"D:\\orv\\stock-relay");
    std::string output = ::testing::internal::GetCapturedStdout();
    const std::size_t stamp = output.find("backUp\\2");
    if (stamp != std::string::npos) {
      const std::string name = output.substr(stamp + 7, 19);
      for (std::size_t at; (at = output.find(name)) != std::string::npos;) {
        output.replace(at, name.size(), "<stamp>");
      }
    }
    EXPECT_TRUE(Installed() == c.installed) << output;
    EXPECT_NE(output.find(c.lines), std::string::npos) << output;
    std::string started = fs::exists(Root() / "starts") ? ReadFile(Root() / "starts") : "";
    EXPECT_EQ(std::to_string(std::count(started.begin(), started.end(), '\n')), c.starts) << output;
    EXPECT_FALSE(TemporaryLeft());
    const fs::path state = drives.StateDir() / "state";
    EXPECT_EQ(fs::exists(state) ? ReadFile(state) : "", c.refusedAfter ? recorded : "") << output;
  }
}

}  // namespace

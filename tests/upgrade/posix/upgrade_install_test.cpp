// The installation under failure, on a real file system and the real machine:
// the process killed at each step. Whatever happens, app/stock-relay.jar is
// the whole old JAR or the whole new one, and the next run finishes and leaves
// no temporary file.
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
#include "upgrade/staged_upgrade.h"
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
  std::string netStop{};                 // extra lines for "net stop" / "net start"
  std::string netStart{};
  std::string killAfterLine{};  // the test kills the run once this line is out ...
  int killDelayMs = 0;          // ... and this much later
};

class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(App());
    WriteFile(App() / "stock-relay.jar", kOldJar);
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
      rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      upgrade_test::UpgradeFromBytes(L"D:\\orv\\stock-relay", kNewJar);
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
    // A "net" the killed run had started still finishes on its own: let it,
    // before the next run watches the log and the unit.
    if (WIFSIGNALED(status)) std::this_thread::sleep_for(300ms);
    return status;
  }

  upgrade_test::UpgradeDrives drives;

 private:
  testing_support::TempDir m_scratch;
  fs::path m_output = m_scratch / "out.txt";
};

TEST_F(Installation, InterruptedAnywhereTheJarIsWholeAndTheNextRunFinishes) {
  const std::string killSelf = "kill -9 $PPID; exit 0";
  Interruption cases[] = {
      // The download's bytes go into the staged file, which the next run clears.
      {.what = "killed while the download is written", .fileSizeLimit = kNewJar.size() / 2},
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

    // The move is one rename: a kill meant for later may find the run ended.
    if (c.killDelayMs == 0) {
      EXPECT_TRUE(WIFSIGNALED(status)) << output;
    }

    // The next run installs the new JAR and leaves nothing behind; when the
    // new JAR is already whole in place it is not installed again.
    drives.WriteNet(drives.LogNet() + drives.ServeNet());
    fs::remove(drives.NetLog());
    ::testing::internal::CaptureStdout();
    upgrade_test::UpgradeFromBytes(L"D:\\orv\\stock-relay", kNewJar);
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

}  // namespace

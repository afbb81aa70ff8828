// The upgrade as one transaction, run in-process on both targets over real
// files and a machine whose service does what each row says: stage, stop,
// back up, swap, start, then keep or put back. No stand-in program, no
// environment: the service's answers come from the row.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "installation/layout.h"
#include "installation/tunables.h"
#include "os/files.h"
#include "os/machine_values.h"
#include "support/jar_signing.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "support/zip_builder.h"
#include "tunable/tunable.h"
#include "unicode/utf8.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/known_jars.h"
#include "upgrade/staging.h"
#include "upgrade/tunables.h"
#include "upgrade/upgrade_machine.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using upgrade::ServiceOutcome;
using upgrade::UpgradeEnd;

// The service as a row scripts it. By default "net stop" stops it and "net
// start" runs it; a row's hooks change that, and may touch the files.
class ScriptedMachine final : public upgrade::UpgradeMachine {
 public:
  ServiceOutcome state = ServiceOutcome::Running;
  int stops = 0;
  int starts = 0;
  // After the default effect of each net command: may change `state` and
  // what the command returns.
  std::function<void(ScriptedMachine&, const std::wstring& verb, bool& ran)> onNet;
  // What a wait sees instead of the state, when set.
  std::function<ServiceOutcome(ScriptedMachine&, const char* wait)> onWait;
  std::function<void()> onPause;

  ServiceOutcome ReadService(const std::wstring&) override { return state; }
  ServiceOutcome WaitUntilStopped(const std::wstring&, std::chrono::milliseconds) override {
    return onWait ? onWait(*this, "stopped") : state;
  }
  ServiceOutcome WaitUntilSettled(const std::wstring&, std::chrono::milliseconds) override {
    return onWait ? onWait(*this, "settled") : state;
  }
  bool RunNet(const std::wstring& arguments) override {
    const std::wstring verb = arguments.substr(0, arguments.find(L' '));
    bool ran = true;
    if (verb == L"stop") {
      ++stops;
      state = ServiceOutcome::Stopped;
    } else if (verb == L"start") {
      ++starts;
      state = ServiceOutcome::Running;
    }
    if (onNet) onNet(*this, verb, ran);
    return ran;
  }
  os::LocalTime Now() override { return {2026, 12, 11, 9, 30, 0}; }
  void Pause(std::chrono::milliseconds) override {
    if (onPause) onPause();
  }
};

std::string Lines(const std::string& output) {
  std::string lines = output;
  for (std::size_t at; (at = lines.find("2026-12-11_09-30-00")) != std::string::npos;) {
    lines.replace(at, 19, "<stamp>");
  }
  return lines;
}

TEST(UpgradeTransaction, EachWayTheServiceAnswersEndsAsItShould) {
  testing_support::TempDir temp;
  const fs::path root = temp.path() / "orv" / "stock-relay";
  const fs::path app = root / "app";
  const fs::path installed = app / "stock-relay.jar";
  const fs::path inTheWay = app / "stock-relay.jar.part";
  testing_support::ScopedEnv state("WARDKEEP_STATE_DIR", (temp.path() / "state").string());
  tunable::ScopedTunable tries(upgrade::tunables::restoreAttempts, 2);
  const std::string oldJar = testing_support::SampleJar(3000, 1);

  const auto firstStartFails = [](ScriptedMachine& m, const std::wstring& verb, bool&) {
    if (verb == L"start" && m.starts == 1) m.state = ServiceOutcome::Stopped;
  };
  // The old JAR cannot go back while a folder holds its temporary name.
  const auto blockTheRestore = [&](ScriptedMachine& m, const std::wstring& verb, bool& ran) {
    firstStartFails(m, verb, ran);
    if (verb == L"stop" && m.stops == 2) fs::create_directories(inTheWay);
  };
  const struct Row {
    const char* what;
    ServiceOutcome before;
    std::function<void(ScriptedMachine&, const std::wstring&, bool&)> onNet;
    std::function<ServiceOutcome(ScriptedMachine&, const char*)> onWait;
    bool unblockAtPause;  // the folder in the way goes while the restore waits
    UpgradeEnd end;
    bool newInstalled;
    int starts;
    std::string lines;
    bool markedPutBack;
  } rows[] = {
      {"runs with the new JAR", ServiceOutcome::Running, nullptr, nullptr, false, UpgradeEnd::Kept,
       true, 1, "启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n", false},
      {"stopped before, the new JAR does not run", ServiceOutcome::Stopped,
       [](ScriptedMachine& m, const std::wstring& verb, bool&) {
         if (verb == L"start") m.state = ServiceOutcome::Stopped;
       },
       nullptr, false, UpgradeEnd::Kept, true, 1,
       "错误: 服务启动后已停止: stock-relay\n服务在更新前未运行，保留新的JAR文件: "
       "stock-relay\n操作完成。\n",
       false},
      {"stopped before, the new JAR runs", ServiceOutcome::Stopped, nullptr, nullptr, false,
       UpgradeEnd::Kept, true, 1, "服务已运行: stock-relay\n操作完成。\n", false},
      {"the new JAR does not start, the old one does", ServiceOutcome::Running, firstStartFails,
       nullptr, false, UpgradeEnd::RolledBack, false, 2,
       "错误: 服务启动后已停止: stock-relay\n"
       "错误: 服务未能运行，恢复旧JAR文件: <root>\\backUp\\<stamp>\\stock-relay.jar -> "
       "<root>\\app\n"
       "停止服务: stock-relay\n启动服务: stock-relay\n服务已运行: stock-relay\n"
       "已记录未能运行的JAR文件: SHA-256 ",
       true},
      {"nothing runs at all", ServiceOutcome::Running,
       [](ScriptedMachine& m, const std::wstring& verb, bool&) {
         if (verb == L"start") m.state = ServiceOutcome::Stopped;
       },
       nullptr, false, UpgradeEnd::RolledBack, false, 2,
       "停止服务: stock-relay\n启动服务: stock-relay\n错误: 服务启动后已停止: "
       "stock-relay\n操作完成。\n",
       false},
      {"a stop that times out while the service is still stopping", ServiceOutcome::Running,
       [](ScriptedMachine&, const std::wstring& verb, bool& ran) { ran = verb != L"stop"; },
       nullptr, false, UpgradeEnd::Kept, true, 1,
       "停止服务: stock-relay\n警告: 停止服务失败，可能服务未运行\n备份旧JAR文件: ", false},
      {"the old JAR comes back at the second try", ServiceOutcome::Running, blockTheRestore,
       nullptr, true, UpgradeEnd::RolledBack, false, 2,
       "停止服务: stock-relay\n恢复旧JAR文件失败，稍后重试 (1/2)\n原因: 临时文件的名称已被占用\n"
       "启动服务: stock-relay\n服务已运行: stock-relay\n已记录未能运行的JAR文件: ",
       true},
      {"the old JAR does not come back within the tries", ServiceOutcome::Running, blockTheRestore,
       nullptr, false, UpgradeEnd::RolledBack, true, 2,
       "恢复旧JAR文件失败，稍后重试 (1/2)\n原因: 临时文件的名称已被占用\n恢复旧JAR文件失败\n"
       "原因: 临时文件的名称已被占用\n启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n",
       false},
      {"the state cannot be read before", ServiceOutcome::Unreadable, nullptr, nullptr, false,
       UpgradeEnd::Refused, false, 0,
       "错误: 无法查询服务状态: stock-relay，不进行JAR包替换升级\n操作完成。\n", false},
      {"the state cannot be read after the start", ServiceOutcome::Running, nullptr,
       [](ScriptedMachine& m, const char* wait) {
         return std::string(wait) == "settled" ? ServiceOutcome::Unreadable : m.state;
       },
       false, UpgradeEnd::Unconfirmed, true, 1,
       "错误: 无法查询服务状态: stock-relay\n错误: "
       "无法确认服务是否运行，不恢复旧JAR文件\n操作完成。\n",
       false},
      {"a service that does not stop, then runs on", ServiceOutcome::Running, nullptr,
       [](ScriptedMachine&, const char* wait) {
         return std::string(wait) == "stopped" ? ServiceOutcome::Pending : ServiceOutcome::Running;
       },
       false, UpgradeEnd::NotReplaced, false, 0,
       "错误: 服务未能停止，不进行JAR包替换升级\n服务已运行: stock-relay\n操作完成。\n", false},
  };
  unsigned seed = 10;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(temp.path() / "orv");
    fs::remove_all(temp.path() / "state");
    fs::create_directories(app);
    fs::create_directories(temp.path() / "state");
    testing_support::WriteFile(installed, oldJar);
    // Wine keeps no owners: the folders' own owner counts there.
    os::HeldFolder held;
    ASSERT_EQ(held.Open(testing_support::WindowsFormPath(root)), os::FolderOpenResult::Opened);
    tunable::ScopedTunable owner(installation::tunables::alsoCountedOwner, held.OwnerId());
    installation::Pin pin = installation::PinRoot(testing_support::WindowsFormPath(root));
    ASSERT_TRUE(pin.installation) << unicode::EncodeUtf8(installation::DescribePinFault(pin));

    // Each row its own new JAR, so that a JAR one row recorded as put back
    // is not the next row's.
    const std::string newJar = testing_support::SampleJar(4000, ++seed);
    os::StagedFile staged;
    std::wstring cause;
    ASSERT_TRUE(upgrade::CreateStaged(pin.installation->app, staged, cause));
    ASSERT_TRUE(staged.Write(newJar.data(), newJar.size()));

    ScriptedMachine machine;
    machine.state = row.before;
    machine.onWait = row.onWait;
    machine.onNet = [&](ScriptedMachine& m, const std::wstring& verb, bool& ran) {
      if (row.onNet) row.onNet(m, verb, ran);
      if (verb == L"start" && m.starts == 2) fs::remove(inTheWay);
    };
    if (row.unblockAtPause) machine.onPause = [&] { fs::remove(inTheWay); };

    testing::internal::CaptureStdout();
    const UpgradeEnd end = upgrade::UpgradeStagedJar(*pin.installation, staged, {}, machine);
    std::string output = Lines(testing::internal::GetCapturedStdout());
    const std::string rootText = unicode::EncodeUtf8(testing_support::WindowsFormPath(root));
    for (std::size_t at; (at = output.find(rootText)) != std::string::npos;) {
      output.replace(at, rootText.size(), "<root>");
    }
    EXPECT_EQ(end, row.end) << output;
    EXPECT_EQ(testing_support::ReadFile(installed), row.newInstalled ? newJar : oldJar) << output;
    EXPECT_EQ(machine.starts, row.starts) << output;
    EXPECT_NE(output.find(row.lines), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(fs::symlink_status(inTheWay))) << "nothing left beside the JAR";
    const os::MachineValue mark = os::ReadMachineValue(upgrade::kRolledBackJarValue);
    const bool marked =
        mark.status == os::MachineValueStatus::Found &&
        mark.value == unicode::DecodeUtf8Replacing(testing_support::Sha256Hex(newJar));
    EXPECT_EQ(marked, row.markedPutBack) << output;
  }
}

}  // namespace

// The upgrade as one transaction, run in-process on both targets over real
// files and a machine whose service does what each row says: stage, stop,
// back up, swap, start, then keep or put back. No stand-in program, no
// environment: the service's answers come from the row.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "installation/layout.h"
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
#include "upgrade/scripted_machine.h"
#include "upgrade/staged_upgrade.h"
#include "upgrade/staging.h"
#include "upgrade/tunables.h"
#include "upgrade/upgrade_machine.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using upgrade::ServiceOutcome;
using upgrade::UpgradeEnd;
using upgrade_test::ScriptedMachine;

struct Ran {
  std::optional<UpgradeEnd> end;
  std::string lines;  // the time stamp as <stamp>, the root as <root>
};

Ran RunUpgrade(const fs::path& root, const std::string& jar, ScriptedMachine& machine) {
  const std::wstring rootPath = testing_support::WindowsFormPath(root);
  testing::internal::CaptureStdout();
  Ran ran{upgrade_test::UpgradeFromBytes(rootPath, jar, machine), {}};
  ran.lines = testing::internal::GetCapturedStdout();
  const auto replace = [&](const std::string& from, const std::string& to) {
    for (std::size_t at; (at = ran.lines.find(from)) != std::string::npos;) {
      ran.lines.replace(at, from.size(), to);
    }
  };
  replace("2026-12-11_09-30-00", "<stamp>");
  replace(unicode::EncodeUtf8(rootPath), "<root>");
  return ran;
}

// One installation under a temporary folder, made afresh for each row: the
// root's "app" with the old JAR in it, and machine values of its own.
class UpgradeTransaction : public testing::Test {
 protected:
  void Fresh() {
    fs::remove_all(temp.path() / "orv");
    fs::remove_all(temp.path() / "state");
    fs::create_directories(app);
    fs::create_directories(temp.path() / "state");
    testing_support::WriteFile(installed, oldJar);
  }

  testing_support::TempDir temp;
  const fs::path root = temp.path() / "orv" / "stock-relay";
  const fs::path app = root / "app";
  const fs::path installed = app / "stock-relay.jar";
  const fs::path staged = app / "stock-relay.jar.part";
  const std::string oldJar = testing_support::SampleJar(3000, 1);

 private:
  testing_support::ScopedEnv m_state{"WARDKEEP_STATE_DIR", (temp.path() / "state").string()};
};

TEST_F(UpgradeTransaction, EachWayTheServiceAnswersEndsAsItShould) {
  const fs::path& inTheWay = staged;
  tunable::ScopedTunable tries(upgrade::tunables::restoreAttempts, 2);

  const auto neverRuns = [](ScriptedMachine& m, const std::wstring& verb, bool&) {
    if (verb == L"start") m.state = ServiceOutcome::Stopped;
  };
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
      {"stopped before, the new JAR does not run", ServiceOutcome::Stopped, neverRuns, nullptr,
       false, UpgradeEnd::Kept, true, 1,
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
      {"nothing runs at all", ServiceOutcome::Running, neverRuns, nullptr, false,
       UpgradeEnd::RolledBack, false, 2,
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
      {"starting before, nothing runs: the old JAR goes back", ServiceOutcome::Pending, neverRuns,
       nullptr, false, UpgradeEnd::RolledBack, false, 2,
       "错误: 服务未能运行，恢复旧JAR文件: ", false},
      {"\"net stop\" hangs and the service runs on", ServiceOutcome::Running,
       [](ScriptedMachine& m, const std::wstring& verb, bool& ran) {
         if (verb != L"stop") return;
         ran = false;
         m.state = ServiceOutcome::Running;
       },
       nullptr, false, UpgradeEnd::NotReplaced, false, 0,
       "停止服务: stock-relay\n警告: 停止服务失败，可能服务未运行\n错误: "
       "服务未能停止，不进行JAR包替换升级\n服务已运行: stock-relay\n操作完成。\n",
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
    Fresh();
    // Each row its own new JAR, so that a JAR one row recorded as put back
    // is not the next row's.
    const std::string newJar = testing_support::SampleJar(4000, ++seed);
    ScriptedMachine machine;
    machine.state = row.before;
    machine.onWait = row.onWait;
    machine.onNet = [&](ScriptedMachine& m, const std::wstring& verb, bool& ran) {
      if (row.onNet) row.onNet(m, verb, ran);
      if (verb == L"start" && m.starts == 2) fs::remove(inTheWay);
    };
    if (row.unblockAtPause) machine.onPause = [&] { fs::remove(inTheWay); };

    const auto [end, output] = RunUpgrade(root, newJar, machine);
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

// What the upgrade leaves in the folders, and what it says, when the files
// are not as a plain run finds them: a first upgrade, a file in the backup
// folder's place, a read-only JAR, a staged file swapped by name.
TEST_F(UpgradeTransaction, TheFilesEndWholeWhateverTheFoldersHold) {
  const fs::path backUp = root / "backUp";
  const std::string newJar = testing_support::SampleJar(5000, 2);
  const std::string foreignJar = testing_support::SampleJar(4500, 9);
  enum class Installed { Old, New, NotForeign };
  const struct Row {
    const char* what;
    std::function<void()> prepare;
    std::function<void()> atStop;
    UpgradeEnd end;
    Installed installed;
    const char* netCalls;
    std::string lines;  // the whole output, or a part of it when not `exact`
    bool exact;
    const char* backedUp;  // what the backup folder holds: "old", "" (empty), or null (none)
  } rows[] = {
      {"a plain upgrade", [&] { fs::create_directories(backUp); }, nullptr, UpgradeEnd::Kept,
       Installed::New, "stop,start,",
       "应用目录: <root>\\app\n备份目录: <root>\\backUp\n"
       "创建备份子目录: <root>\\backUp\\<stamp>\n找到新的JAR文件，开始处理...\n"
       "停止服务: stock-relay\n"
       "备份旧JAR文件: <root>\\app\\stock-relay.jar -> <root>\\backUp\\<stamp>\n"
       "替换JAR文件: <root>\\app\\stock-relay.jar.part -> <root>\\app\n"
       "启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n",
       true, "old"},
      {"the first upgrade of a fresh installation", [&] { fs::remove(installed); }, nullptr,
       UpgradeEnd::Kept, Installed::New, "stop,start,",
       "应用目录: <root>\\app\n备份目录: <root>\\backUp\n创建备份目录: <root>\\backUp\n"
       "创建备份子目录: <root>\\backUp\\<stamp>\n找到新的JAR文件，开始处理...\n"
       "停止服务: stock-relay\n未找到旧JAR文件，跳过备份\n"
       "替换JAR文件: <root>\\app\\stock-relay.jar.part -> <root>\\app\n"
       "启动服务: stock-relay\n服务已运行: stock-relay\n操作完成。\n",
       true, ""},
      // Nothing else is done: no stop, no closing line.
      {"a file where the backup folder goes",
       [&] { testing_support::WriteFile(backUp, "in the way"); }, nullptr,
       UpgradeEnd::BackupFoldersNotMade, Installed::Old, "",
       "应用目录: <root>\\app\n备份目录: <root>\\backUp\n"
       "错误: <root>\\backUp 不是文件夹\n创建备份目录失败\n",
       true, nullptr},
      {"a read-only installed JAR",
       [&] {
         fs::permissions(installed,
                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       nullptr, UpgradeEnd::Kept, Installed::New, "stop,start,", "备份旧JAR文件: ", false, "old"},
      // While the service stops someone puts other bytes at the staged name:
      // only the bytes checked may be moved (on Windows the held name cannot
      // even be taken; natively the name no longer is the held file).
      {"the staged file swapped by name during the stop", nullptr,
       [&] {
         std::error_code ignored;
         fs::rename(staged, app / "swapped-away", ignored);
         if (!fs::exists(staged)) testing_support::WriteFile(staged, foreignJar);
       },
       UpgradeEnd::Kept, Installed::NotForeign, "stop,start,", "启动服务: stock-relay\n", false,
       "old"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Fresh();
    if (row.prepare) row.prepare();
    ScriptedMachine machine;
    machine.onNet = [&](ScriptedMachine&, const std::wstring& verb, bool&) {
      if (verb == L"stop" && row.atStop) row.atStop();
    };
    const auto [end, output] = RunUpgrade(root, newJar, machine);
    if (row.installed != Installed::NotForeign) {
      EXPECT_EQ(end, row.end) << output;
    }
    const std::string now = testing_support::ReadFile(installed);
    switch (row.installed) {
      case Installed::Old:
        EXPECT_EQ(now, oldJar) << output;
        break;
      case Installed::New:
        EXPECT_EQ(now, newJar) << output;
        break;
      case Installed::NotForeign:
        EXPECT_TRUE(now == oldJar || now == newJar) << output;
        break;
    }
    EXPECT_EQ(unicode::EncodeUtf8(machine.netCalls), row.netCalls) << output;
    if (row.exact) {
      EXPECT_EQ(output, row.lines);
    } else {
      EXPECT_NE(output.find(row.lines), std::string::npos) << output;
    }
    const fs::path backup = backUp / "2026-12-11_09-30-00";
    if (row.backedUp == nullptr) {
      EXPECT_FALSE(fs::exists(backup)) << output;
    } else if (std::string(row.backedUp).empty()) {
      EXPECT_TRUE(fs::is_empty(backup)) << output;
    } else {
      EXPECT_EQ(testing_support::ReadFile(backup / "stock-relay.jar"), oldJar) << output;
    }
    // Another's file at the staged name stays: it is not ours to remove. Where
    // the held name could not be taken, the upgrade went through untouched.
    const bool swapped = fs::exists(app / "swapped-away");
    EXPECT_EQ(fs::exists(fs::symlink_status(staged)), swapped) << output;
    if (swapped) {
      EXPECT_NE(output.find("替换JAR文件失败\n原因: 临时文件已被替换或删除\n"), std::string::npos)
          << output;
    }
    if (row.installed == Installed::NotForeign && !swapped) {
      EXPECT_EQ(end, UpgradeEnd::Kept) << output;
      EXPECT_EQ(now, newJar) << output;
    }
    if (fs::exists(installed)) {
      fs::permissions(installed, fs::perms::owner_write, fs::perm_options::add);
    }
  }
}

}  // namespace

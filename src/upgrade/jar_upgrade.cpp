#include "upgrade/jar_upgrade.h"

#include <algorithm>

#include "installation/layout.h"
#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"
#include "path/windows_path.h"
#include "upgrade/failure_cause.h"
#include "upgrade/file_install.h"
#include "upgrade/jar_acceptance.h"
#include "upgrade/known_jars.h"
#include "upgrade/progress.h"
#include "upgrade/service_wait.h"
#include "upgrade/staging.h"
#include "upgrade/tunables.h"
#include "upgrade/upgrade_machine.h"

namespace upgrade {

namespace {

// Two upgrades within one second must not share a backup folder.
constexpr int kBackupNameTries = 100;

// Zero-padded to at least `width` digits; the clock's fields are never negative.
std::wstring Padded(int value, std::size_t width) {
  std::wstring digits = std::to_wstring(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
  return digits;
}

// Every refusal of the upgrade ends alike: what stood in the way, and that
// the installed JAR stays.
void SayNotReplaced(const std::wstring& reason) {
  // guide-texts: forwarded
  Say(reason + L"，不进行JAR包替换升级");
}

// "net stop", then the service manager's word that the service has stopped.
ServiceOutcome StopAndWait(UpgradeMachine& machine, const std::wstring& service) {
  Say(L"停止服务: " + service);
  if (!machine.RunNet(L"stop " + service)) Say(L"警告: 停止服务失败，可能服务未运行");
  return machine.WaitUntilStopped(service, tunables::serviceStopWait.Get());
}

// "net start", then the service manager's word on what became of it. A service
// that settles stopped is a failure known at once, not after the whole wait.
ServiceOutcome StartAndConfirm(UpgradeMachine& machine, const std::wstring& service) {
  Say(L"启动服务: " + service);
  if (!machine.RunNet(L"start " + service)) Say(L"错误: 启动服务失败");
  const ServiceOutcome outcome = machine.WaitUntilSettled(service, tunables::serviceRunWait.Get());
  switch (outcome) {
    case ServiceOutcome::Running:
      Say(L"服务已运行: " + service);
      break;
    case ServiceOutcome::Stopped:
      Say(L"错误: 服务启动后已停止: " + service);
      break;
    case ServiceOutcome::Pending:
      Say(L"错误: 服务未在限定时间内运行: " + service);
      break;
    case ServiceOutcome::Unreadable:
      Say(L"错误: 无法查询服务状态: " + service);
      break;
  }
  return outcome;
}

// The backup folder, held; made when missing. False after its lines.
bool HoldBackupFolder(const installation::PinnedInstallation& pinned, os::HeldFolder& backUp) {
  const std::wstring path = pinned.layout.BackupDirectory();
  if (os::KindOfEntryIn(pinned.root, installation::kBackupFolderName) == os::EntryKind::Missing) {
    Say(L"创建备份目录: " + path);
    std::wstring cause;
    if (!Attempt(
            [&] {
              return os::MakeFolderIn(pinned.root, installation::kBackupFolderName) !=
                     os::MakeDirectoryResult::Failed;
            },
            cause)) {
      Say(L"创建目录失败: " + path);
      SayCause(cause);
      Say(L"创建备份目录失败");
      return false;
    }
  }
  std::wstring cause;
  os::FolderOpenResult opened = os::FolderOpenResult::Failed;
  Attempt(
      [&] {
        opened = backUp.OpenIn(pinned.root, installation::kBackupFolderName);
        return opened == os::FolderOpenResult::Opened;
      },
      cause);
  switch (opened) {
    case os::FolderOpenResult::Opened:
      return true;
    case os::FolderOpenResult::Link:
      Say(L"错误: 安装目录中有链接或联接点 (" + path + L")");
      break;
    case os::FolderOpenResult::NotAFolder:
      Say(L"错误: " + path + L" 不是文件夹");
      break;
    case os::FolderOpenResult::Missing:
    case os::FolderOpenResult::Failed:
      Say(L"错误: 无法打开 " + path);
      SayCause(cause);
      break;
  }
  Say(L"创建备份目录失败");
  return false;
}

// A folder made by this run and by nobody else, held: an existing folder,
// file or link of the stamp's name is never taken over, another name is chosen.
bool CreateFreshBackupFolder(UpgradeMachine& machine, const os::HeldFolder& backUp,
                             const std::wstring& backupDir, os::HeldFolder& fresh,
                             std::wstring& freshPath) {
  os::FreshFolder made =
      os::MakeFreshFolderIn(backUp, FormatBackupTimeStamp(machine.Now()), kBackupNameTries);
  if (made.outcome != os::FreshFolder::Outcome::AllNamesTaken) {
    const std::wstring candidate = path::Join(backupDir, made.name);
    Say(L"创建备份子目录: " + candidate);
    if (made.outcome == os::FreshFolder::Outcome::Made) {
      fresh = std::move(made.folder);
      freshPath = candidate;
      return true;
    }
    Say(L"创建目录失败: " + candidate);
    SayCause(CauseOf(made.error));
  }
  Say(L"创建备份子目录失败");
  return false;
}

// The installed JAR under a second name in the backup folder: on one volume a
// link costs no copy while the service is down; elsewhere a whole copy, read
// through the held application folder.
os::Error BackUp(const os::HeldFolder& app, const os::HeldFolder& backupSub) {
  const std::wstring jar = installation::kJarFileName;
  if (os::LinkFileIn(app, jar, backupSub, jar)) {
    // One file, two names: the installed name may then be replaced even when
    // the file was read-only, and the backup stays writable for a later clean-up.
    os::ClearLastError();
    if (os::MakeWritableIn(app, jar)) return {};
    return os::LastErrorOr(L"无法去掉只读属性");
  }
  // The link's own failure (another volume) is expected; only the copy's
  // cause says why there is no backup.
  return ReplaceFileWhole(app, jar, backupSub, jar);
}

os::Error RestoreOnce(const os::HeldFolder& backupSub, const os::HeldFolder& app) {
  const std::wstring jar = installation::kJarFileName;
  const std::wstring temporary = TemporaryNameFor(jar);
  os::ClearLastError();
  if (!ClearLeftover(app, temporary)) return os::LastErrorOr(L"临时文件的名称已被占用");
  if (os::LinkFileIn(backupSub, jar, app, temporary)) {
    if (os::ReplaceFileIn(app, temporary, jar)) return {};
    os::DeleteFileIn(app, temporary);
  }
  return ReplaceFileWhole(backupSub, jar, app, jar);
}

// The service stays down without its JAR: a reader that holds the installed
// JAR without sharing deletion (a scanner, an editor) is waited out a while.
bool Restore(UpgradeMachine& machine, const os::HeldFolder& backupSub, const os::HeldFolder& app,
             std::wstring& cause) {
  const int attempts = std::max(1, tunables::restoreAttempts.Get());
  for (int attempt = 1;; ++attempt) {
    if (Attempt([&] { return RestoreOnce(backupSub, app); }, cause)) return true;
    if (attempt >= attempts) return false;
    Say(L"恢复旧JAR文件失败，稍后重试 (" + std::to_wstring(attempt) + L"/" +
        std::to_wstring(attempts) + L")");
    SayCause(cause);
    cause.clear();
    machine.Pause(tunables::restoreRetryPause.Get());
  }
}

struct Replacement {
  bool replaced = false;
  bool backedUp = false;   // false when there was no JAR to back up
  bool startAgain = true;  // false only when the service never stopped and runs on
};

// The backup, then the replacement: nothing is replaced without a whole backup.
Replacement BackUpAndReplace(os::StagedFile& staged, const std::wstring& newJar,
                             const installation::PinnedInstallation& pinned,
                             const os::HeldFolder& backupSub, const std::wstring& backupSubDir) {
  Replacement result;
  const std::wstring installedJar = pinned.layout.InstalledJar();
  if (os::KindOfEntryIn(pinned.app, installation::kJarFileName) == os::EntryKind::File) {
    Say(L"备份旧JAR文件: " + installedJar + L" -> " + backupSubDir);
    std::wstring cause;
    if (!Attempt([&] { return BackUp(pinned.app, backupSub); }, cause)) {
      Say(L"备份旧JAR文件失败");
      SayCause(cause);
      Say(L"错误: 没有完整的备份，不替换已安装的JAR文件");
      return result;
    }
    result.backedUp = true;
  } else {
    Say(L"未找到旧JAR文件，跳过备份");
  }
  Say(L"替换JAR文件: " + newJar + L" -> " + pinned.layout.AppDirectory());
  std::wstring cause;
  result.replaced = Attempt(
      [&] {
        // The staged name no longer being the held file has no system error.
        return staged.MoveOver(installation::kJarFileName)
                   ? os::Error{}
                   : os::LastErrorOr(L"临时文件已被替换或删除");
      },
      cause);
  if (!result.replaced) {
    Say(L"替换JAR文件失败");
    SayCause(cause);
  }
  return result;
}

// The new JAR does not run: the service is stopped first, so that the old JAR
// never goes back under a running service, then the old JAR returns. True when
// the service runs the old JAR again, which shows that the new one was at fault.
bool RollBack(UpgradeMachine& machine, const Replacement& replacement,
              const installation::PinnedInstallation& pinned, const os::HeldFolder& backupSub,
              const std::wstring& backupSubDir) {
  const std::wstring service = installation::kServiceName;
  if (!replacement.backedUp) {
    Say(L"错误: 服务未能运行，且没有可恢复的旧JAR文件");
    return false;
  }
  Say(L"错误: 服务未能运行，恢复旧JAR文件: " +
      path::Join(backupSubDir, installation::kJarFileName) + L" -> " +
      pinned.layout.AppDirectory());
  if (StopAndWait(machine, service) != ServiceOutcome::Stopped) {
    Say(L"错误: 服务未能停止，不恢复旧JAR文件");
    return false;
  }
  std::wstring cause;
  const bool restored = Restore(machine, backupSub, pinned.app, cause);
  if (!restored) {
    Say(L"恢复旧JAR文件失败");
    SayCause(cause);
  }
  // Started either way: a service left stopped serves nobody, and the new JAR
  // may still run at a second try.
  const bool runs = StartAndConfirm(machine, service) == ServiceOutcome::Running;
  return restored && runs;
}

void SayStagingRefusal(const Staging& staging) {
  switch (staging.result) {
    case StagingResult::NotFlushed:
      SayNotReplaced(L"错误: 无法复制新的JAR文件 (" + staging.reason + L")");
      break;
    case StagingResult::ArchiveRefused:
      SayNotReplaced(L"错误: 新的JAR文件不完整或已损坏 (" + staging.reason + L")");
      break;
    case StagingResult::DigestRefused:
      SayNotReplaced(L"错误: 新的JAR文件与更新信息不符 (" + staging.reason + L")");
      break;
    case StagingResult::Staged:
      break;
  }
  SayCause(staging.cause);
}

// Stops the service, backs up and replaces; the service is started again in
// every case but one where it is still running.
Replacement StopAndReplace(UpgradeMachine& machine, os::StagedFile& staged,
                           const std::wstring& newJar,
                           const installation::PinnedInstallation& pinned,
                           const os::HeldFolder& backupSub, const std::wstring& backupSubDir) {
  const std::wstring service = installation::kServiceName;
  switch (StopAndWait(machine, service)) {
    case ServiceOutcome::Stopped:
      return BackUpAndReplace(staged, newJar, pinned, backupSub, backupSubDir);
    case ServiceOutcome::Unreadable:
      SayNotReplaced(L"错误: 无法查询服务状态: " + service);
      return {};
    case ServiceOutcome::Running:
    case ServiceOutcome::Pending:
      break;
  }
  // Still stopping: a start now would fail and leave it down. Let it settle.
  SayNotReplaced(L"错误: 服务未能停止");
  if (machine.WaitUntilSettled(service, tunables::serviceSettleWait.Get()) ==
      ServiceOutcome::Running) {
    Say(L"服务已运行: " + service);
    return {.startAgain = false};
  }
  return {};
}

}  // namespace

std::wstring FormatBackupTimeStamp(const os::LocalTime& time) {
  return Padded(time.year, 4) + L"-" + Padded(time.month, 2) + L"-" + Padded(time.day, 2) + L"_" +
         Padded(time.hour, 2) + L"-" + Padded(time.minute, 2) + L"-" + Padded(time.second, 2);
}

namespace {

// The upgrade after the backup folders: the staged file checked, then the
// service. Says no closing line; UpgradeStagedJar does.
UpgradeEnd VerifyAndReplace(UpgradeMachine& machine, const installation::PinnedInstallation& pinned,
                            os::StagedFile& staged, const update::JarDigest& expected,
                            const os::HeldFolder& backupSub, const std::wstring& backupSubDir) {
  const std::wstring service = installation::kServiceName;
  Say(L"找到新的JAR文件，开始处理...");
  if (const Staging staging = AcceptStaged(staged, expected);
      staging.result != StagingResult::Staged) {
    SayStagingRefusal(staging);
    return UpgradeEnd::Refused;
  }
  // Judged on the bytes that would be moved, before the service is touched.
  const std::string newSha256 = Sha256Of(staged.Contents(), expected);
  if (!MayInstallJar(newSha256, pinned)) {
    staged.Discard();
    return UpgradeEnd::Refused;
  }
  // A state that cannot be read is not "stopped": nothing is touched.
  const ServiceOutcome before = machine.ReadService(service);
  if (before == ServiceOutcome::Unreadable) {
    staged.Discard();
    SayNotReplaced(L"错误: 无法查询服务状态: " + service);
    return UpgradeEnd::Refused;
  }
  // Only a service that ran (or was on its way) before shows that the new JAR
  // is what keeps it from running; one stopped by someone says nothing of it.
  const bool ranBefore = before != ServiceOutcome::Stopped;

  const std::wstring stagedPath = path::Join(pinned.layout.AppDirectory(), StagedName());
  const Replacement replacement =
      StopAndReplace(machine, staged, stagedPath, pinned, backupSub, backupSubDir);
  staged.Discard();
  if (!replacement.startAgain) return UpgradeEnd::NotReplaced;
  const ServiceOutcome started = StartAndConfirm(machine, service);
  if (!replacement.replaced) return UpgradeEnd::NotReplaced;
  if (started == ServiceOutcome::Unreadable) {
    Say(L"错误: 无法确认服务是否运行，不恢复旧JAR文件");
    return UpgradeEnd::Unconfirmed;
  }
  if (started != ServiceOutcome::Running && ranBefore) {
    // Kept refused only when the old JAR runs where the new one did not: a
    // service that runs neither fails for another reason.
    if (RollBack(machine, replacement, pinned, backupSub, backupSubDir)) {
      RecordRolledBackJar(newSha256);
    }
    return UpgradeEnd::RolledBack;
  }
  if (started != ServiceOutcome::Running) {
    Say(L"服务在更新前未运行，保留新的JAR文件: " + service);
  }
  return UpgradeEnd::Kept;
}

}  // namespace

UpgradeEnd UpgradeStagedJar(const installation::PinnedInstallation& pinned, os::StagedFile& staged,
                            const update::JarDigest& expected, UpgradeMachine& machine) {
  Say(L"应用目录: " + pinned.layout.AppDirectory());
  Say(L"备份目录: " + pinned.layout.BackupDirectory());
  os::HeldFolder backUp;
  os::HeldFolder backupSub;
  std::wstring backupSubDir;
  // Deliberately without the closing line: an upgrade that could not make its
  // backup folders ends on the line saying so, and nothing else was done.
  if (!HoldBackupFolder(pinned, backUp) ||
      !CreateFreshBackupFolder(machine, backUp, pinned.layout.BackupDirectory(), backupSub,
                               backupSubDir)) {
    staged.Discard();
    return UpgradeEnd::BackupFoldersNotMade;
  }
  const UpgradeEnd end =
      VerifyAndReplace(machine, pinned, staged, expected, backupSub, backupSubDir);
  Say(L"操作完成。");
  return end;
}

}  // namespace upgrade

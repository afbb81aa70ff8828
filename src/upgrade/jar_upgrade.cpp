#include "upgrade/jar_upgrade.h"

#include "installation/layout.h"
#include "os/files.h"
#include "path/windows_path.h"
#include "upgrade/command_runner.h"
#include "upgrade/failure_cause.h"
#include "upgrade/file_install.h"
#include "upgrade/file_system.h"
#include "upgrade/known_jars.h"
#include "upgrade/progress.h"
#include "upgrade/service_wait.h"
#include "upgrade/staging.h"
#include "upgrade/tunables.h"

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

// "net stop", then the service manager's word that the service has stopped.
ServiceOutcome StopAndWait(const std::wstring& service) {
  Say(L"停止服务: " + service);
  if (!RunAndWait(L"net", L"stop " + service)) Say(L"警告: 停止服务失败，可能服务未运行");
  return WaitUntilStopped(service, tunables::serviceStopWait.Get());
}

// "net start", then the service manager's word on what became of it. A service
// that settles stopped is a failure known at once, not after the whole wait.
ServiceOutcome StartAndConfirm(const std::wstring& service) {
  Say(L"启动服务: " + service);
  if (!RunAndWait(L"net", L"start " + service)) Say(L"错误: 启动服务失败");
  const ServiceOutcome outcome = WaitUntilSettled(service, tunables::serviceRunWait.Get());
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

// A folder made by this run and by nobody else: an existing folder, file or
// link of the stamp's name is never taken over, another name is chosen.
std::wstring CreateFreshBackupFolder(const std::wstring& backupDir) {
  const std::wstring stamp = path::Join(backupDir, FormatBackupTimeStamp(os::CurrentLocalTime()));
  for (int attempt = 1; attempt <= kBackupNameTries; ++attempt) {
    const std::wstring candidate = attempt == 1 ? stamp : stamp + L"_" + std::to_wstring(attempt);
    os::ClearLastError();
    const os::MakeDirectoryResult made = os::MakeDirectory(candidate);
    const std::wstring cause = os::LastErrorText();
    if (made == os::MakeDirectoryResult::AlreadyExists) continue;
    Say(L"创建备份子目录: " + candidate);
    if (made == os::MakeDirectoryResult::Created) return candidate;
    Say(L"创建目录失败: " + candidate);
    SayCause(cause);
    break;
  }
  Say(L"创建备份子目录失败");
  return {};
}

// The installed JAR under a second name in the backup folder: on one volume a
// link costs no copy while the service is down; elsewhere a whole copy.
bool BackUp(const std::wstring& installedJar, const std::wstring& backupCopy) {
  if (os::LinkFile(installedJar, backupCopy)) {
    // One file, two names: the installed name may then be replaced even when
    // the file was read-only, and the backup stays writable for a later clean-up.
    const std::uint32_t attributes = os::FileAttributes(installedJar);
    return (attributes & os::kAttributeReadOnly) == 0 || os::MakeWritable(installedJar);
  }
  return CopyWholeFile(installedJar, backupCopy);
}

bool Restore(const std::wstring& backupCopy, const std::wstring& installedJar) {
  const std::wstring temporary = TemporaryPathFor(installedJar);
  DeletePathTree(temporary);
  if (os::LinkFile(backupCopy, temporary)) {
    if (os::ReplaceFileAtomically(temporary, installedJar)) return true;
    DeletePathTree(temporary);
  }
  return ReplaceFileWhole(backupCopy, installedJar);
}

struct Replacement {
  bool replaced = false;
  std::wstring backupCopy;  // empty when there was no JAR to back up
};

// The backup, then the replacement: nothing is replaced without a whole backup.
Replacement BackUpAndReplace(os::StagedFile& staged, const std::wstring& newJar,
                             const installation::Layout& layout, const std::wstring& backupSubDir) {
  Replacement result;
  const std::wstring installedJar = layout.InstalledJar();
  if (os::PathExists(installedJar)) {
    Say(L"备份旧JAR文件: " + installedJar + L" -> " + backupSubDir);
    result.backupCopy = path::Join(backupSubDir, installation::kJarFileName);
    std::wstring cause;
    if (!Attempt([&] { return BackUp(installedJar, result.backupCopy); }, cause)) {
      result.backupCopy.clear();
      Say(L"备份旧JAR文件失败");
      SayCause(cause);
      Say(L"错误: 没有完整的备份，不替换已安装的JAR文件");
      return result;
    }
  } else {
    Say(L"未找到旧JAR文件，跳过备份");
  }
  Say(L"替换JAR文件: " + newJar + L" -> " + layout.AppDirectory());
  std::wstring cause;
  result.replaced = Attempt([&] { return staged.MoveOver(installedJar); }, cause);
  if (!result.replaced) {
    Say(L"替换JAR文件失败");
    SayCause(cause);
  }
  return result;
}

// The new JAR does not run: the service is stopped first, so that the old JAR
// never goes back under a running service, then the old JAR returns. True when
// the service runs the old JAR again, which shows that the new one was at fault.
bool RollBack(const Replacement& replacement, const installation::Layout& layout) {
  const std::wstring service = installation::kServiceName;
  if (replacement.backupCopy.empty()) {
    Say(L"错误: 服务未能运行，且没有可恢复的旧JAR文件");
    return false;
  }
  Say(L"错误: 服务未能运行，恢复旧JAR文件: " + replacement.backupCopy + L" -> " +
      layout.AppDirectory());
  if (StopAndWait(service) != ServiceOutcome::Stopped) {
    Say(L"错误: 服务未能停止，不恢复旧JAR文件");
    return false;
  }
  std::wstring cause;
  if (!Attempt([&] { return Restore(replacement.backupCopy, layout.InstalledJar()); }, cause)) {
    Say(L"恢复旧JAR文件失败");
    SayCause(cause);
    return false;
  }
  return StartAndConfirm(service) == ServiceOutcome::Running;
}

void SayStagingRefusal(const Staging& staging) {
  switch (staging.result) {
    case StagingResult::NotCreated:
      Say(L"错误: 无法在应用目录中创建临时文件 (" + staging.reason + L")，不进行JAR包替换升级");
      break;
    case StagingResult::NotCopied:
      Say(L"错误: 无法复制新的JAR文件 (" + staging.reason + L")，不进行JAR包替换升级");
      break;
    case StagingResult::ArchiveRefused:
      Say(L"错误: 新的JAR文件不完整或已损坏 (" + staging.reason + L")，不进行JAR包替换升级");
      break;
    case StagingResult::DigestRefused:
      Say(L"错误: 新的JAR文件与更新信息不符 (" + staging.reason + L")，不进行JAR包替换升级");
      break;
    case StagingResult::Staged:
      break;
  }
  SayCause(staging.cause);
}

// Stops the service, backs up and replaces; the service is started again in
// every case but one where it is still running.
Replacement StopAndReplace(os::StagedFile& staged, const std::wstring& newJar,
                           const installation::Layout& layout, const std::wstring& backupSubDir,
                           bool& startAgain) {
  const std::wstring service = installation::kServiceName;
  startAgain = true;
  switch (StopAndWait(service)) {
    case ServiceOutcome::Stopped:
      return BackUpAndReplace(staged, newJar, layout, backupSubDir);
    case ServiceOutcome::Unreadable:
      Say(L"错误: 无法查询服务状态: " + service + L"，不进行JAR包替换升级");
      return {};
    case ServiceOutcome::Running:
    case ServiceOutcome::Pending:
      break;
  }
  // Still stopping: a start now would fail and leave it down. Let it settle.
  Say(L"错误: 服务未能停止，不进行JAR包替换升级");
  if (WaitUntilSettled(service, tunables::serviceSettleWait.Get()) == ServiceOutcome::Running) {
    Say(L"服务已运行: " + service);
    startAgain = false;
  }
  return {};
}

}  // namespace

std::wstring FormatBackupTimeStamp(const os::LocalTime& time) {
  return Padded(time.year, 4) + L"-" + Padded(time.month, 2) + L"-" + Padded(time.day, 2) + L"_" +
         Padded(time.hour, 2) + L"-" + Padded(time.minute, 2) + L"-" + Padded(time.second, 2);
}

int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot,
               const update::JarDigest& expected, bool* newJarKept) {
  if (newJarKept != nullptr) *newJarKept = false;
  const installation::Layout layout{installRoot};
  const std::wstring service = installation::kServiceName;
  const std::wstring stagingPath = TemporaryPathFor(layout.InstalledJar());
  Say(L"应用目录: " + layout.AppDirectory());
  Say(L"备份目录: " + layout.BackupDirectory());
  // Nothing is written through a link someone else may have planted.
  if (const std::wstring link = installation::FindLinkInPath(layout); !link.empty()) {
    Say(L"错误: 安装目录中有链接或联接点 (" + link + L")，不进行JAR包替换升级");
    Say(L"操作完成。");
    return 0;
  }
  // What an interrupted earlier run may have left beside the installed JAR.
  DeletePathTree(stagingPath);

  if (!DirectoryExists(layout.BackupDirectory())) {
    Say(L"创建备份目录: " + layout.BackupDirectory());
    if (!CreateDirectoryTree(layout.BackupDirectory())) {
      Say(L"创建备份目录失败");
      return 1;
    }
  }
  const std::wstring backupSubDir = CreateFreshBackupFolder(layout.BackupDirectory());
  if (backupSubDir.empty()) return 1;

  if (!os::PathExists(newJarPath)) {
    Say(L"未找到新的JAR文件 (" + newJarPath + L")，不进行JAR包替换升级");
    Say(L"操作完成。");
    return 0;
  }
  Say(L"找到新的JAR文件，开始处理...");

  // Everything slow happens while the service still runs: the copy into the
  // application folder and both checks, on the copy that is then moved.
  os::StagedFile staged;
  if (Staging staging = StageVerifiedCopy(newJarPath, stagingPath, expected, staged);
      staging.result != StagingResult::Staged) {
    SayStagingRefusal(staging);
    Say(L"操作完成。");
    return 0;
  }
  // Judged on the bytes that would be moved, before the service is touched.
  const std::string newSha256 = Sha256Of(staged.Contents(), expected);
  if (!MayInstallJar(newSha256, layout)) {
    Say(L"操作完成。");
    return 0;
  }
  // A state that cannot be read is not "stopped": nothing is touched.
  const ServiceOutcome before = ReadServiceOutcome(service);
  if (before == ServiceOutcome::Unreadable) {
    Say(L"错误: 无法查询服务状态: " + service + L"，不进行JAR包替换升级");
    Say(L"操作完成。");
    return 0;
  }
  // Only a service that ran (or was on its way) before shows that the new JAR
  // is what keeps it from running; one stopped by someone says nothing of it.
  const bool ranBefore = before != ServiceOutcome::Stopped;

  bool startAgain = true;
  const Replacement replacement =
      StopAndReplace(staged, newJarPath, layout, backupSubDir, startAgain);
  staged.Discard();
  if (startAgain) {
    const ServiceOutcome started = StartAndConfirm(service);
    if (replacement.replaced && started == ServiceOutcome::Unreadable) {
      Say(L"错误: 无法确认服务是否运行，不恢复旧JAR文件");
    } else if (replacement.replaced && started != ServiceOutcome::Running && ranBefore) {
      // Kept refused only when the old JAR runs where the new one did not: a
      // service that runs neither fails for another reason.
      if (RollBack(replacement, layout)) RecordRolledBackJar(newSha256);
    } else if (replacement.replaced) {
      if (started != ServiceOutcome::Running) {
        Say(L"服务在更新前未运行，保留新的JAR文件: " + service);
      }
      if (newJarKept != nullptr) *newJarKept = true;
    }
  }
  Say(L"操作完成。");
  return 0;
}

}  // namespace upgrade

#include "upgrade/jar_upgrade.h"

#include "os/console.h"
#include "os/files.h"
#include "upgrade/command_runner.h"
#include "upgrade/file_install.h"
#include "upgrade/file_system.h"
#include "upgrade/jar_check.h"
#include "upgrade/service_name.h"
#include "upgrade/service_wait.h"
#include "upgrade/tunables.h"

namespace upgrade {

namespace {

void Say(const std::wstring& line) {
  os::WriteProgressLine(line + L"\n");
}

// Zero-padded to at least `width` digits; the clock's fields are never negative.
std::wstring Padded(int value, std::size_t width) {
  std::wstring digits = std::to_wstring(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
  return digits;
}

// "net start", then the service manager's word that the service runs.
bool StartAndConfirm(const std::wstring& service) {
  Say(L"启动服务: " + service);
  if (!RunAndWait(L"net start " + service)) Say(L"错误: 启动服务失败");
  const ServiceWaitResult running =
      WaitForServiceState(service, os::ServiceState::Running, tunables::serviceRunWait.Get());
  if (running == ServiceWaitResult::Reached) {
    Say(L"服务已运行: " + service);
    return true;
  }
  Say(running == ServiceWaitResult::Unknown ? L"错误: 无法查询服务状态: " + service
                                            : L"错误: 服务未在限定时间内运行: " + service);
  return false;
}

struct Replacement {
  bool replaced = false;
  std::wstring backupCopy;  // empty when there was no JAR to back up
};

// The backup, then the replacement: nothing is replaced without a whole backup.
Replacement BackUpAndReplace(const std::wstring& newJar, const std::wstring& appDir,
                             const std::wstring& backupSubDir, const std::wstring& jarName) {
  Replacement result;
  const std::wstring installedJar = appDir + L"\\" + jarName;
  if (os::PathExists(installedJar)) {
    Say(L"备份旧JAR文件: " + installedJar + L" -> " + backupSubDir);
    result.backupCopy = backupSubDir + L"\\" + jarName;
    if (!CopyWholeFile(installedJar, result.backupCopy)) {
      result.backupCopy.clear();
      Say(L"备份旧JAR文件失败");
      Say(L"错误: 没有完整的备份，不替换已安装的JAR文件");
      return result;
    }
  } else {
    Say(L"未找到旧JAR文件，跳过备份");
  }
  Say(L"替换JAR文件: " + newJar + L" -> " + appDir);
  result.replaced = ReplaceFileWhole(newJar, installedJar);
  if (!result.replaced) Say(L"替换JAR文件失败");
  return result;
}

}  // namespace

std::wstring FormatBackupTimeStamp(const os::LocalTime& time) {
  return Padded(time.year, 4) + L"-" + Padded(time.month, 2) + L"-" + Padded(time.day, 2) + L"_" +
         Padded(time.hour, 2) + L"-" + Padded(time.minute, 2) + L"-" + Padded(time.second, 2);
}

int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot) {
  const std::wstring service = kUploadServiceName;
  const std::wstring jarName = service + L".jar";
  const std::wstring appDir = installRoot + L"\\app";
  const std::wstring backupDir = installRoot + L"\\backUp";
  const std::wstring installedJar = appDir + L"\\" + jarName;
  // What an interrupted earlier run may have left beside the installed JAR.
  DeletePathTree(TemporaryPathFor(installedJar));
  Say(L"应用目录: " + appDir);
  Say(L"备份目录: " + backupDir);

  if (!DirectoryExists(backupDir)) {
    Say(L"创建备份目录: " + backupDir);
    if (!CreateDirectoryTree(backupDir)) {
      Say(L"创建备份目录失败");
      return 1;
    }
  }

  const std::wstring backupSubDir =
      backupDir + L"\\" + FormatBackupTimeStamp(os::CurrentLocalTime());
  Say(L"创建备份子目录: " + backupSubDir);
  if (!CreateDirectoryTree(backupSubDir)) {
    Say(L"创建备份子目录失败");
    return 1;
  }

  if (!os::PathExists(newJarPath)) {
    Say(L"未找到新的JAR文件 (" + newJarPath + L")，不进行JAR包替换升级");
    Say(L"操作完成。");
    return 0;
  }
  Say(L"找到新的JAR文件，开始处理...");

  // Before the service is touched: a cut, spliced or damaged archive would
  // leave it unable to start.
  if (JarCheck check = CheckJarArchive(newJarPath); !check) {
    Say(L"错误: 新的JAR文件不完整或已损坏 (" + DescribeJarFault(check) + L")，不进行JAR包替换升级");
    Say(L"操作完成。");
    return 0;
  }

  Say(L"停止服务: " + service);
  if (!RunAndWait(L"net stop " + service)) Say(L"警告: 停止服务失败，可能服务未运行");
  // "net stop" gives up while the manager may still be stopping the service;
  // its JAR is then still in use.
  const bool stopped =
      WaitForServiceState(service, os::ServiceState::Stopped, tunables::serviceStopWait.Get()) !=
      ServiceWaitResult::NotReached;

  Replacement replacement;
  if (stopped) {
    replacement = BackUpAndReplace(newJarPath, appDir, backupSubDir, jarName);
  } else {
    Say(L"错误: 服务未能停止，不进行JAR包替换升级");
  }

  if (StartAndConfirm(service) || !replacement.replaced) {
    Say(L"操作完成。");
    return 0;
  }
  // The new JAR does not run: the working one goes back.
  if (replacement.backupCopy.empty()) {
    Say(L"错误: 服务未能运行，且没有可恢复的旧JAR文件");
  } else {
    Say(L"错误: 服务未能运行，恢复旧JAR文件: " + replacement.backupCopy + L" -> " + appDir);
    if (!ReplaceFileWhole(replacement.backupCopy, installedJar)) Say(L"恢复旧JAR文件失败");
    StartAndConfirm(service);
  }
  Say(L"操作完成。");
  return 0;
}

}  // namespace upgrade

#include "upgrade/jar_upgrade.h"

#include "os/console.h"
#include "os/files.h"
#include "upgrade/command_runner.h"
#include "upgrade/file_system.h"
#include "upgrade/service_name.h"

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

}  // namespace

std::wstring FormatBackupTimeStamp(const os::LocalTime& time) {
  return Padded(time.year, 4) + L"-" + Padded(time.month, 2) + L"-" + Padded(time.day, 2) + L"_" +
         Padded(time.hour, 2) + L"-" + Padded(time.minute, 2) + L"-" + Padded(time.second, 2);
}

int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot) {
  const std::wstring service = upgrade::kUploadServiceName;
  const std::wstring jarName = service + L".jar";
  const std::wstring appDir = installRoot + L"\\app";
  const std::wstring backupDir = installRoot + L"\\backUp";
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

  Say(L"停止服务: " + service);
  if (!RunAndWait(L"net stop " + service)) Say(L"警告: 停止服务失败，可能服务未运行");

  const std::wstring installedJar = appDir + L"\\" + jarName;
  if (os::PathExists(installedJar)) {
    Say(L"备份旧JAR文件: " + installedJar + L" -> " + backupSubDir);
    if (!os::CopyOneFile(installedJar, backupSubDir + L"\\" + jarName, false)) {
      Say(L"备份旧JAR文件失败");
    }
  } else {
    Say(L"未找到旧JAR文件，跳过备份");
  }

  Say(L"替换JAR文件: " + newJarPath + L" -> " + appDir);
  if (!os::CopyOneFile(newJarPath, installedJar, false)) Say(L"替换JAR文件失败");

  Say(L"启动服务: " + service);
  if (!RunAndWait(L"net start " + service)) Say(L"错误: 启动服务失败");

  Say(L"操作完成。");
  return 0;
}

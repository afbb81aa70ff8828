#include "upgrade/update_run.h"

#include "http/http_download.h"
#include "os/console.h"
#include "os/files.h"
#include "os/session.h"
#include "update/update_check.h"
#include "upgrade/file_system.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/service_name.h"

namespace upgrade {

namespace {

constexpr std::size_t kMaxPath = 260;  // including the terminating zero

}  // namespace

std::wstring ProgramDirectory() {
  // A path that was cut short may end inside a directory's name and so point
  // at an ancestor: the place beside the program is then unknown.
  os::ModulePath program = os::ReadModulePath();
  if (!program.whole) return {};
  std::size_t cut = program.text.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : program.text.substr(0, cut);
}

bool LooksLikeJar(const std::wstring& path) {
  return os::ReadFileStart(path, 4) == std::string("PK\x03\x04", 4);
}

bool RunUpdate(std::string& errorText) {
  std::string downloadUrl;
  std::string remoteVersion;
  const bool offered = update::CheckUpdate(downloadUrl, remoteVersion, errorText);
  const std::wstring installRoot = FindInstallRoot();
  if (!offered || installRoot.empty()) return false;

  const std::wstring programDir = ProgramDirectory();
  const std::wstring jarPath = programDir + L"\\" + kUploadServiceName + L".jar";
  // Without a usable place beside the program there is nothing safe to do.
  if (programDir.empty() || jarPath.size() >= kMaxPath) return true;

  // The download appends to whatever is there; an earlier run's file must go,
  // and if it cannot, resuming it would install a splice of two JARs.
  DeletePathTree(jarPath);
  if (os::FileAttributes(jarPath) != os::kInvalidFileAttributes) {
    os::WriteProgressLine(L"错误: 无法删除上次下载的文件 (" + jarPath + L")，跳过本次更新\n");
    return true;
  }
  CURLcode result;
  {
    comm::http::HttpDownload download(downloadUrl, jarPath);
    result = download.Perform();
  }  // closed here, so the file is complete before it is copied
  // An empty or foreign body (an error page, a truncated answer) would replace
  // a working JAR.
  if (result == CURLE_OK && LooksLikeJar(jarPath)) UpgradeJar(jarPath, installRoot);
  return true;
}

}  // namespace upgrade

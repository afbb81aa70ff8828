#include "upgrade/update_run.h"

#include "http/http_download.h"
#include "installation/layout.h"
#include "os/files.h"
#include "os/folder.h"
#include "os/services.h"
#include "path/windows_path.h"
#include "text/utf8.h"
#include "update/update_check.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/progress.h"
#include "upgrade/staged_sink.h"
#include "upgrade/staging.h"

namespace upgrade {

namespace {

// Asked before anything is downloaded: without the rights to stop and start
// the service (a filtered administrator's token), every start would download
// the whole JAR again only to fail at "net stop".
bool CanControlService() {
  return static_cast<bool>(
      os::OpenServiceWithManager(installation::kServiceName, os::ServiceAccess::Control).service);
}

void SayNoOffer(const std::string& errorText) {
  if (errorText.empty()) {
    Say(L"没有可用的更新");
  } else {
    Say(L"检查更新失败 (" + text::Utf8ToWideReplacing(errorText) + L")");
  }
}

}  // namespace

bool RunUpdate(std::string& errorText) {
  update::UpdateOffer offer;
  const bool offered = update::CheckUpdate(offer, errorText);
  installation::Search search = installation::FindPinnedInstallation();
  if (!offered) {
    SayNoOffer(errorText);
    return false;
  }
  for (const std::wstring& line : search.passedOver) Say(line);
  if (!search.installation) {
    Say(L"未找到已安装的程序，不进行更新");
    return false;
  }
  const installation::PinnedInstallation& pinned = *search.installation;
  // Two log-on sessions each run a copy; they must not share one staged file
  // and one installation. Taken on the held application folder, so only who
  // may write there could ever hold it.
  os::FolderLock lock;
  if (!lock.TryAcquire(pinned.app)) {
    Say(L"另一个会话正在更新，跳过本次更新");
    return true;
  }
  if (!CanControlService()) {
    Say(std::wstring(L"错误: 没有停止和启动服务的权限，或服务不存在: ") +
        installation::kServiceName + L"，不进行更新");
    return true;
  }

  // The download goes straight into its exclusively made file inside the
  // held application folder: nothing is written beside the program, and
  // nothing is opened by name again until it is installed.
  os::StagedFile staged;
  std::wstring cause;
  if (!CreateStaged(pinned.app, staged, cause)) {
    Say(L"错误: 无法在应用目录中创建临时文件 (" +
        path::Join(pinned.layout.AppDirectory(), StagedName()) + L")，不进行更新");
    SayCause(cause);
    return true;
  }
  CURLcode result;
  {
    StagedSink sink(staged, pinned.layout.AppDirectory());
    comm::http::HttpDownload download(offer.downloadUrl, sink);
    result = download.Perform();
  }
  if (result != CURLE_OK) {
    staged.Discard();
    Say(L"错误: 下载新的JAR文件失败 (" + text::Utf8ToWideReplacing(curl_easy_strerror(result)) +
        L")，不进行更新");
    return true;
  }
  UpgradeStagedJar(pinned, staged, offer.signature);
  return true;
}

}  // namespace upgrade

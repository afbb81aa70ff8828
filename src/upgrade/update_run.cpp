#include "upgrade/update_run.h"

#include <chrono>
#include <cstdint>
#include <optional>

#include "http/http_download.h"
#include "installation/layout.h"
#include "os/files.h"
#include "os/folder.h"
#include "os/services.h"
#include "path/windows_path.h"
#include "text/utf8.h"
#include "update/offer_signature.h"
#include "update/update_check.h"
#include "upgrade/jar_acceptance.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/known_jars.h"
#include "upgrade/progress.h"
#include "upgrade/staged_sink.h"
#include "upgrade/staging.h"
#include "upgrade/update_policy.h"

namespace upgrade {

namespace {

// Asked before anything is downloaded: without the rights to stop and start
// the service (a filtered administrator's token), every start would download
// the whole JAR again only to fail at "net stop".
bool CanControlService() {
  return os::CanControlService(installation::kServiceName);
}

// One line of its own for each way a check can end without an offer.
void SayNoOffer(const update::CheckResult& check) {
  const std::wstring text = text::Utf8ToWideReplacing(check.text);
  switch (check.kind) {
    case update::CheckOutcome::NoOffer:
      Say(L"没有可用的更新");
      break;
    case update::CheckOutcome::TransportFailed:
      Say(L"检查更新失败 (" + text + L")");
      break;
    case update::CheckOutcome::HttpError:
      Say(L"检查更新失败: 更新服务器回答了HTTP状态 " + text);
      break;
    case update::CheckOutcome::EmptyAnswer:
      Say(L"检查更新失败: 更新服务器的回答为空");
      break;
    case update::CheckOutcome::Unreadable:
      Say(L"检查更新失败: 无法读取更新服务器的回答 (" + text + L")");
      break;
    case update::CheckOutcome::OfferRefused:
      Say(L"错误: 拒绝更新服务器提供的下载地址 (" + text + L")，不进行更新");
      break;
    case update::CheckOutcome::Offered:
      break;
  }
}

// A text from the update server on a line of its own: no control character
// may break it into lines that read like the run's.
std::wstring OneLine(const std::string& text) {
  std::wstring line = text::Utf8ToWideReplacing(text);
  for (wchar_t& c : line) {
    if (c < L' ' || c == 0x7f) c = L'?';
  }
  return line;
}

// The host (and port) of an http(s) URL, as the offer line names it.
std::string UrlHost(const std::string& url) {
  const std::size_t start = url.find("://");
  if (start == std::string::npos) return {};
  const std::string rest = url.substr(start + 3);
  std::string authority = rest.substr(0, rest.find_first_of("/?#"));
  // Credentials in a URL are nobody's business in a log.
  if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
    authority.erase(0, at + 1);
  }
  return authority;
}

}  // namespace

void RunUpdate() {
  RunUpdate(update::BuiltInUpdateSettings());
}

void RunUpdate(const update::UpdateSettings& settings) {
  // The administrator's switch comes before anything else is asked.
  if (UpdatesSwitchedOffByPolicy()) {
    Say(L"管理员策略已关闭更新，不检查更新");
    return;
  }
  // A package built without a real update server asks nobody.
  if (settings.serverUrl.empty()) {
    Say(L"未配置更新服务器，不检查更新");
    return;
  }
  if (update::SigningKeysIn(settings) == update::SigningKeys::Unusable) {
    Say(L"错误: 内置的签名公钥无效，不检查更新");
    return;
  }
  update::UpdateOffer offer;
  const update::CheckResult check = update::CheckUpdate(settings, offer);
  installation::Search search = installation::FindPinnedInstallation(settings.alsoCountedOwner);
  if (check.kind != update::CheckOutcome::Offered) {
    SayNoOffer(check);
    return;
  }
  const std::string host = UrlHost(offer.downloadUrl);
  NoteOffer(offer.remoteVersion, host);
  // guide-texts: "跳过 …: …"
  for (const std::wstring& line : search.passedOver) Say(line);
  if (!search.installation) {
    Say(L"未找到已安装的程序，不进行更新");
    return;
  }
  const installation::PinnedInstallation& pinned = *search.installation;
  // Two log-on sessions each run a copy; they must not share one staged file
  // and one installation. Taken on the held application folder, so only who
  // may write there could ever hold it.
  os::FolderLock lock;
  if (!lock.TryAcquire(pinned.app)) {
    Say(L"另一个会话正在更新，跳过本次更新");
    return;
  }
  // Judged before a byte is downloaded: a refused offer costs nothing.
  const std::optional<update::JarDigest> expected = AcceptOffer(settings, offer);
  if (!expected) return;
  // A signed offer names its bytes: the same JAR again, or one that was put
  // back, is known before the download and costs nothing.
  if (!MayInstallJar(expected->sha256, pinned)) return;
  if (!CanControlService()) {
    Say(std::wstring(L"错误: 没有停止和启动服务的权限，或服务不存在: ") +
        installation::kServiceName + L"，不进行更新");
    return;
  }

  // The download goes straight into its exclusively made file inside the
  // held application folder: nothing is written beside the program, and
  // nothing is opened by name again until it is installed.
  os::StagedFile staged;
  const std::wstring stagedPath = path::Join(pinned.layout.AppDirectory(), StagedName());
  if (const os::Error error = CreateStaged(pinned.app, staged)) {
    Say(L"错误: 无法在应用目录中创建临时文件 (" + stagedPath + L")，不进行更新");
    SayCause(error.text);
    return;
  }
  // The offer is taken. A download may take half an hour: its start and its
  // end each say so.
  Say(L"更新服务器提供版本 " + OneLine(offer.remoteVersion) + L"，下载自 " + OneLine(host));
  Say(L"开始下载: " + stagedPath);
  const auto started = std::chrono::steady_clock::now();
  comm::http::DownloadResult result;
  {
    StagedSink sink(staged, pinned.layout.AppDirectory());
    comm::http::HttpDownload download(offer.downloadUrl, sink, settings.transfer);
    if (expected->size >= 0) download.SetSizeLimit(expected->size);
    result = download.Perform();
  }
  if (!result.Complete()) {
    staged.Discard();
    Say(L"错误: 下载新的JAR文件失败 (" + text::Utf8ToWideReplacing(result.text) + L")，不进行更新");
    return;
  }
  const std::int64_t bytes = staged.Contents().Size();
  NoteDownload(bytes);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
  Say(L"下载完成: " + std::to_wstring(bytes) + L" 字节，用时 " + std::to_wstring(seconds.count()) +
      L" 秒");
  if (UpgradeStagedJar(pinned, staged, *expected) == UpgradeEnd::Kept) {
    RecordInstalledVersion(settings, offer);
  }
}

}  // namespace upgrade

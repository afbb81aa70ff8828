// The whole update run on Windows: the offer from a local update server, the
// download straight into the held app folder (nothing beside this program),
// and the upgrade of D:\orv\stock-relay with
// Wine's own net command stopping and starting a real service.
// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "os/machine_values.h"
#include "os/session.h"
#include "support/jar_signing.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/upload_installation.h"
#include "support/zip_builder.h"
#include "text/utf8.h"
#include "upgrade/progress.h"
#include "upgrade/service_wait.h"
#include "upgrade/tunables.h"
#include "upgrade/update_run.h"

namespace {

using namespace std::chrono_literals;

namespace fs = std::filesystem;
using testing_support::LocalHttpServer;
using testing_support::ReadFile;
using testing_support::win32::UploadInstallation;

// The update run against a local update server offering `newJar` with
// `data` ("version" and "url" and whatever else; the default offers 2.0.0
// unsigned) to a program built with the signing keys `keys`, counting the
// installation's folders as `installation` says; returns its standard
// output. `downloads`, when given, counts the requests for the JAR.
std::string RunUpdateOffering(
    const UploadInstallation& installation, const std::string& newJar,
    const std::string& data = R"("version":"2.0.0","url":"/files/stock-relay.jar")",
    int* downloads = nullptr, const std::string& keys = "") {
  LocalHttpServer server;
  const std::string offer = R"({"flag":1,"data":{)" + data + "}}";
  server.Post("/api/updateVersion/checkTallyxSDKVersion",
              [&](const httplib::Request&, httplib::Response& res) {
                res.set_content(offer, "application/json");
              });
  server.Get("/files/stock-relay.jar", [&](const httplib::Request&, httplib::Response& res) {
    if (downloads != nullptr) ++*downloads;
    res.set_content(newJar, "application/java-archive");
  });
  if (!server.Start()) return "no local server";
  const fs::path download =
      fs::path(os::OwnProgramPath().value()).parent_path() / L"stock-relay.jar";
  fs::remove(download);
  upgrade::RunRecord record;
  upgrade::ScopedRunRecord collecting(record);
  testing::internal::CaptureStdout();
  update::UpdateSettings settings{server.Url(), keys, server.Url()};
  settings.alsoCountedOwner = installation.countedOwner;
  upgrade::RunUpdate(settings);
  const std::string output = testing::internal::GetCapturedStdout();
  if (fs::exists(download)) {
    fs::remove(download);
    return "a file was written beside the program\n" + output;
  }
  return record.offeredVersion.empty() ? "no offer taken\n" + output : output;
}

// Each answer that offers nothing has a line of its own naming what it was;
// only a 200 answer without an offer is "no update". Nothing is downloaded.
TEST(Win32UpdateRun, EachAnswerWithoutAnOfferSaysWhatItWas) {
  struct Case {
    int status;
    std::string body;
    std::string line;
  };
  const std::string offer =
      R"({"flag":1,"data":{"version":"2.0.0","url":"/files/stock-relay.jar"}})";
  const std::vector<Case> cases = {
      {200, R"({"flag":0,"data":null})", "没有可用的更新"},
      {404, offer, "检查更新失败: 更新服务器回答了HTTP状态 404"},
      {200, "", "检查更新失败: 更新服务器的回答为空"},
      {200, R"({"flag":1,"data":[1]})",
       "检查更新失败: 无法读取更新服务器的回答 (\"data\"不是对象)"},
      {200, R"({"flag":1,"data":{"version":"2.0.0","url":"gopher://h/a.jar"}})",
       "错误: 拒绝更新服务器提供的下载地址 (下载地址不是http或https: gopher:)，不进行更新"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    LocalHttpServer server;
    int downloads = 0;
    server.Post("/api/updateVersion/checkTallyxSDKVersion",
                [&](const httplib::Request&, httplib::Response& res) {
                  res.status = c.status;
                  res.set_content(c.body, "application/json");
                });
    server.Get("/files/stock-relay.jar", [&](const httplib::Request&, httplib::Response& res) {
      ++downloads;
      res.set_content("jar", "application/java-archive");
    });
    ASSERT_TRUE(server.Start());
    upgrade::RunRecord record;
    upgrade::ScopedRunRecord collecting(record);
    testing::internal::CaptureStdout();
    upgrade::RunUpdate({server.Url(), "", server.Url()});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line + "\n");
    EXPECT_EQ(record.offeredVersion, "");
    EXPECT_EQ(downloads, 0);
  }
}

// A program beside this one named like the system's net: found first by a
// search, never started (this one cannot even run, so a search would fail the
// stop and the start).
class PlantedNet {
 public:
  PlantedNet() : m_path(fs::path(os::OwnProgramPath().value()).parent_path() / L"net.exe") {
    testing_support::WriteFile(m_path, "MZ planted by another user");
  }
  ~PlantedNet() { fs::remove(m_path); }

 private:
  fs::path m_path;
};

TEST(Win32UpdateRun, AnOfferIsInstalledWithABackupBetweenNetStopAndNetStart) {
  UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
  ASSERT_EQ(installation.Error(), "");
  PlantedNet planted;

  const std::string newJar = testing_support::SampleJar(300000, 12);
  const std::string output = RunUpdateOffering(installation, newJar);

  EXPECT_EQ(ReadFile(installation.installed), newJar);
  const std::vector<fs::path> stamps = installation.Backups();
  ASSERT_EQ(stamps.size(), 1u) << output;
  EXPECT_TRUE(std::regex_match(stamps[0].filename().string(),
                               std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}")))
      << stamps[0].filename().string();
  EXPECT_EQ(ReadFile(stamps[0] / L"stock-relay.jar"), installation.oldJar);

  EXPECT_TRUE(installation.ServiceWasRestarted()) << output;
  EXPECT_NE(output.find("停止服务: stock-relay\n"), std::string::npos) << output;
  EXPECT_LT(output.find("停止服务: stock-relay\n"), output.find("启动服务: stock-relay\n"));
  EXPECT_EQ(output.find("失败"), std::string::npos) << output;
  // Wine's net prints its own lines between ours.
  EXPECT_LT(output.find("启动服务: stock-relay\n"),
            output.find("服务已运行: stock-relay\n操作完成。\n"))
      << output;
  EXPECT_NE(output.find("服务已运行: stock-relay\n操作完成。\n"), std::string::npos) << output;
}

// The installed version this prefix's machine keeps, and removing it.
std::wstring InstalledMark() {
  const os::MachineValue mark = os::ReadMachineValue(L"InstalledJarVersion");
  return mark.status == os::MachineValueStatus::Found ? mark.value : L"<none>";
}
void ForgetInstalledMark() {
  ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wardkeep", L"InstalledJarVersion");
}

// With a signing key built in: only the vendor's signed offer of a later
// version is downloaded at all, and for any other the service is never
// stopped. An install is recorded in HKLM, and the same offer replayed after
// it is refused.
TEST(Win32UpdateRun, OnlyTheVendorsSignedLaterOfferIsDownloaded) {
  using testing_support::OfferSignedText;
  using testing_support::Sha256Hex;
  ForgetInstalledMark();
  const testing_support::Ed25519Key key;
  const testing_support::Ed25519Key stranger;
  ASSERT_EQ(key.PublicBase64().size(), 44u);
  const std::string newJar = testing_support::SampleJar(200000, 14);
  const std::string size = std::to_string(newJar.size());
  const std::string hash = Sha256Hex(newJar);
  const auto data = [&](const std::string& version, const std::string& signature) {
    return R"("version":")" + version + R"(","url":"/files/stock-relay.jar","size":)" + size +
           R"(,"sha256":")" + hash + R"(","signature":")" + signature + "\"";
  };
  const std::string valid = key.SignBase64(OfferSignedText("2.0.0", newJar.size(), hash));
  const struct {
    const char* what;
    std::string keys;
    std::string data;
    bool installs;
    const char* says;
    const wchar_t* markAfter;
  } rows[] = {
      {"no signature", key.PublicBase64(), data("2.0.0", ""), false, "错误: 更新信息未通过校验 (",
       L"<none>"},
      {"signed for another hash", key.PublicBase64(),
       data("2.0.0", key.SignBase64(OfferSignedText("2.0.0", newJar.size(), Sha256Hex("x")))),
       false, "错误: 更新信息未通过校验 (", L"<none>"},
      {"the old message", key.PublicBase64(),
       data("2.0.0", key.SignBase64("wardkeep-jar-sha256:" + hash)), false,
       "错误: 更新信息未通过校验 (", L"<none>"},
      {"a foreign key built in", stranger.PublicBase64(), data("2.0.0", valid), false,
       "错误: 更新信息未通过校验 (", L"<none>"},
      {"a small-order key built in", std::string(43, 'A') + "=", data("2.0.0", valid), false,
       "错误: 内置的签名公钥无效，不检查更新", L"<none>"},
      {"the vendor's offer", key.PublicBase64(), data("2.0.0", valid), true,
       "已记录已安装的版本: 2.0.0 (HKLM\\SOFTWARE\\Wardkeep)", L"2.0.0"},
      {"the same offer replayed", key.PublicBase64(), data("2.0.0", valid), false,
       "错误: 提供的版本 (2.0.0) 不高于本机已安装的版本 (2.0.0)，不进行更新", L"2.0.0"},
      {"an older one", key.PublicBase64(),
       data("1.5", key.SignBase64(OfferSignedText("1.5", newJar.size(), hash))), false,
       "错误: 提供的版本 (1.5) 不高于", L"2.0.0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
    ASSERT_EQ(installation.Error(), "");
    int downloads = 0;
    const std::string output =
        RunUpdateOffering(installation, newJar, row.data, &downloads, row.keys);
    EXPECT_EQ(ReadFile(installation.installed), row.installs ? newJar : installation.oldJar)
        << output;
    EXPECT_EQ(downloads > 0, row.installs) << output;
    EXPECT_EQ(output.find("停止服务: stock-relay\n") != std::string::npos, row.installs) << output;
    EXPECT_NE(output.find(row.says), std::string::npos) << output;
    EXPECT_EQ(InstalledMark(), row.markAfter);
  }
  ForgetInstalledMark();
}

std::wstring RolledBackMark() {
  const os::MachineValue mark = os::ReadMachineValue(L"RolledBackJarSha256");
  return mark.status == os::MachineValueStatus::Found ? mark.value : L"<none>";
}
void ForgetRolledBackMark() {
  ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wardkeep", L"RolledBackJarSha256");
}

// The JAR installed now and one recorded as put back are not installed, and
// the service is not stopped for them; a service stopped before the update
// whose new JAR does not run keeps it, with nothing recorded.
TEST(Win32UpdateRun, KnownJarsAndAServiceStoppedBefore) {
  using testing_support::Sha256Hex;
  ForgetRolledBackMark();
  const std::string newJar = testing_support::SampleJar(200000, 15);
  const std::wstring newHash = text::Utf8ToWideReplacing(Sha256Hex(newJar));
  const auto hashed = [](const std::string& jar) {
    return R"("version":"2.0.0","url":"/files/stock-relay.jar","sha256":")" + Sha256Hex(jar) + "\"";
  };
  const std::string unhashed = R"("version":"2.0.0","url":"/files/stock-relay.jar")";
  const std::string oldJar = UploadInstallation::OldJar();
  const std::string same =
      "提供的JAR文件与已安装的相同 (SHA-256 " + Sha256Hex(oldJar) + ")，不进行更新\n";
  const struct {
    const char* what;
    std::string offered;
    std::string data;
    std::wstring markBefore;  // empty: none
    bool stoppedBefore;       // and its program ends at once from then on
    bool downloads;
    bool installs;
    std::string says;
  } rows[] = {
      {"the installed JAR, hashed", oldJar, hashed(oldJar), L"", false, false, false, same},
      {"the installed JAR, unhashed", oldJar, unhashed, L"", false, true, false,
       same + "操作完成。\n"},
      {"a JAR put back, hashed", newJar, hashed(newJar), newHash, false, false, false,
       "错误: 该JAR文件曾因服务未能运行而被换回 (SHA-256 " + Sha256Hex(newJar) +
           ", HKLM\\SOFTWARE\\Wardkeep)，不进行更新\n"},
      {"a JAR put back, unhashed", newJar, unhashed, newHash, false, true, false,
       "错误: 该JAR文件曾因服务未能运行而被换回 (SHA-256 "},
      {"stopped before, the new JAR does not run", newJar, unhashed, L"", true, true, true,
       "服务在更新前未运行，保留新的JAR文件: stock-relay\n"},
  };
  tunable::ScopedTunable runWait(upgrade::tunables::serviceRunWait, 3000ms);
  tunable::ScopedTunable poll(upgrade::tunables::serviceWaitPoll, 100ms);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ForgetRolledBackMark();
    if (!row.markBefore.empty()) {
      ASSERT_TRUE(os::WriteMachineValue(L"RolledBackJarSha256", row.markBefore));
    }
    UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
    ASSERT_EQ(installation.Error(), "");
    if (row.stoppedBefore) {
      ASSERT_TRUE(installation.StopService());
      ASSERT_TRUE(installation.BreakService());
    }
    int downloads = 0;
    const std::string output = RunUpdateOffering(installation, row.offered, row.data, &downloads);
    EXPECT_EQ(downloads > 0, row.downloads) << output;
    EXPECT_EQ(ReadFile(installation.installed), row.installs ? row.offered : oldJar) << output;
    const std::size_t start = output.find("启动服务: stock-relay\n");
    EXPECT_EQ(start != std::string::npos, row.installs) << output;
    if (start != std::string::npos) {
      EXPECT_EQ(output.find("启动服务: stock-relay\n", start + 1), std::string::npos)
          << "no second start, no rollback\n"
          << output;
    }
    EXPECT_EQ(output.find("停止服务: ") != std::string::npos, row.installs) << output;
    EXPECT_NE(output.find(row.says), std::string::npos) << output;
    EXPECT_EQ(RolledBackMark(), row.markBefore.empty() ? L"<none>" : row.markBefore) << output;
  }
  ForgetRolledBackMark();
}

TEST(Win32UpdateRun, AServiceThatDoesNotRunGetsTheOldJarBackAndASecondStart) {
  ForgetRolledBackMark();
  UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
  ASSERT_EQ(installation.Error(), "");
  ASSERT_TRUE(installation.BreakService());
  tunable::ScopedTunable runWait(upgrade::tunables::serviceRunWait, 3000ms);
  tunable::ScopedTunable poll(upgrade::tunables::serviceWaitPoll, 100ms);

  const std::string output =
      RunUpdateOffering(installation, testing_support::SampleJar(300000, 13));
  EXPECT_EQ(ReadFile(installation.installed), installation.oldJar) << output;
  const std::vector<fs::path> stamps = installation.Backups();
  ASSERT_EQ(stamps.size(), 1u) << output;
  EXPECT_EQ(ReadFile(stamps[0] / L"stock-relay.jar"), installation.oldJar);
  EXPECT_NE(output.find("错误: 服务未能运行，恢复旧JAR文件: "), std::string::npos) << output;
  const std::size_t firstStart = output.find("启动服务: stock-relay\n");
  ASSERT_NE(firstStart, std::string::npos) << output;
  EXPECT_NE(output.find("启动服务: stock-relay\n", firstStart + 1), std::string::npos) << output;
  EXPECT_EQ(output.find("服务已运行"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(installation.installed.parent_path() / L"stock-relay.jar.part"));
  // The old JAR does not run either: nothing shows the new one at fault.
  EXPECT_EQ(RolledBackMark(), L"<none>") << output;
}

// A root whose folders the administrators do not own is passed over, with
// its line, and nothing is downloaded or stopped. Wine keeps no owners, so
// there the folders are simply the prefix user's.
TEST(Win32UpdateRun, ARootTheAdministratorsDoNotOwnIsPassedOver) {
  UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
  ASSERT_EQ(installation.Error(), "");
  if (installation.ownersKept) GTEST_SKIP() << "this system gave the folders to Administrators";
  installation.countedOwner.clear();

  const std::string output =
      RunUpdateOffering(installation, testing_support::SampleJar(100000, 15));
  EXPECT_NE(output.find("跳过 D:\\orv\\stock-relay: D:\\orv 的所有者不是 Administrators、SYSTEM 或 "
                        "TrustedInstaller\n未找到已安装的程序，不进行更新\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(ReadFile(installation.installed), installation.oldJar);
  EXPECT_TRUE(installation.Backups().empty());
}

}  // namespace

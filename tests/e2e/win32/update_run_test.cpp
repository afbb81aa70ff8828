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

#include "installation/tunables.h"
#include "os/session.h"
#include "platform_client/tunables.h"
#include "support/jar_signing.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/upload_installation.h"
#include "support/zip_builder.h"
#include "update/tunables.h"
#include "upgrade/service_wait.h"
#include "upgrade/tunables.h"
#include "upgrade/update_run.h"

namespace {

using namespace std::chrono_literals;

namespace fs = std::filesystem;
using testing_support::LocalHttpServer;
using testing_support::ReadFile;
using testing_support::win32::UploadInstallation;

// The update run against a local update server offering `newJar`, with
// `signature` in the offer when not empty; returns its standard output.
std::string RunUpdateOffering(const std::string& newJar, const std::string& signature = {}) {
  LocalHttpServer server;
  const std::string offer =
      R"({"flag":1,"data":{"version":"2.0.0","url":"/files/stock-relay.jar")" +
      (signature.empty() ? "" : R"(,"signature":")" + signature + "\"") + "}}";
  server.Post("/api/updateVersion/checkTallyxSDKVersion",
              [&](const httplib::Request&, httplib::Response& res) {
                res.set_content(offer, "application/json");
              });
  server.Get("/files/stock-relay.jar", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(newJar, "application/java-archive");
  });
  if (!server.Start()) return "no local server";
  tunable::ScopedTunable updateServer(update::tunables::serverBaseUrl, server.Url());
  tunable::ScopedTunable platform(platform_client::tunables::baseUrl, server.Url());

  const fs::path download = fs::path(os::ModuleFileName()).parent_path() / L"stock-relay.jar";
  fs::remove(download);
  std::string error;
  testing::internal::CaptureStdout();
  const bool result = upgrade::RunUpdate(error);
  const std::string output = testing::internal::GetCapturedStdout();
  if (fs::exists(download)) {
    fs::remove(download);
    return "a file was written beside the program\n" + output;
  }
  return result ? output : "no update run\n" + output;
}

// A program beside this one named like the system's net: found first by a
// search, never started (this one cannot even run, so a search would fail the
// stop and the start).
class PlantedNet {
 public:
  PlantedNet() : m_path(fs::path(os::ModuleFileName()).parent_path() / L"net.exe") {
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
  const std::string output = RunUpdateOffering(newJar);

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

// With a signing key built in: the offer's signature decides, and for a wrong
// one the service is never stopped.
TEST(Win32UpdateRun, OnlyTheVendorsSignatureGetsAJarInstalled) {
  using testing_support::JarSignedText;
  using testing_support::Sha256Hex;
  const testing_support::Ed25519Key key;
  ASSERT_EQ(key.PublicBase64().size(), 44u);
  tunable::ScopedTunable signingKey(update::tunables::jarSigningKey, key.PublicBase64());
  const std::string newJar = testing_support::SampleJar(200000, 14);
  const struct {
    const char* what;
    std::string signature;
    bool installs;
  } rows[] = {
      {"signed over the JAR", key.SignBase64(JarSignedText(Sha256Hex(newJar))), true},
      {"no signature", "", false},
      {"signed over another file", key.SignBase64(JarSignedText(Sha256Hex(newJar + "x"))), false},
      {"the hash signed without the prefix", key.SignBase64(Sha256Hex(newJar)), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
    ASSERT_EQ(installation.Error(), "");
    const std::string output = RunUpdateOffering(newJar, row.signature);
    EXPECT_EQ(ReadFile(installation.installed), row.installs ? newJar : installation.oldJar)
        << output;
    EXPECT_EQ(output.find("停止服务: stock-relay\n") != std::string::npos, row.installs) << output;
    EXPECT_EQ(output.find("错误: 新的JAR文件签名无效 (") == std::string::npos, row.installs)
        << output;
  }
}

TEST(Win32UpdateRun, AServiceThatDoesNotRunGetsTheOldJarBackAndASecondStart) {
  UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
  ASSERT_EQ(installation.Error(), "");
  ASSERT_TRUE(installation.BreakService());
  tunable::ScopedTunable runWait(upgrade::tunables::serviceRunWait, 3000ms);
  tunable::ScopedTunable poll(upgrade::tunables::serviceWaitPoll, 100ms);

  const std::string output = RunUpdateOffering(testing_support::SampleJar(300000, 13));
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
}

// A root whose folders the administrators do not own is passed over, with
// its line, and nothing is downloaded or stopped. Wine keeps no owners, so
// there the folders are simply the prefix user's.
TEST(Win32UpdateRun, ARootTheAdministratorsDoNotOwnIsPassedOver) {
  UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
  ASSERT_EQ(installation.Error(), "");
  if (installation.ownersKept) GTEST_SKIP() << "this system gave the folders to Administrators";
  tunable::ScopedTunable onlyAdministrators(installation::tunables::alsoCountedOwner,
                                            std::wstring());

  const std::string output = RunUpdateOffering(testing_support::SampleJar(100000, 15));
  EXPECT_NE(output.find("跳过 D:\\orv\\stock-relay: D:\\orv 的所有者不是 Administrators、SYSTEM 或 "
                        "TrustedInstaller\n未找到已安装的程序，不进行更新\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(ReadFile(installation.installed), installation.oldJar);
  EXPECT_TRUE(installation.Backups().empty());
}

}  // namespace

// The update run against the native stand-in serving the update server over
// HTTPS with its own test authority, checked by the real Schannel: nothing is
// asked for or installed from a server whose authority the store does not
// know.
// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <filesystem>
#include <string>

#include "os/session.h"
#include "platform_client/tunables.h"
#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/host_shell.h"
#include "support/win32/standin_session.h"
#include "support/win32/upload_installation.h"
#include "update/tunables.h"
#include "upgrade/update_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::win32::ShellQuote;
using testing_support::win32::StandinSession;
using testing_support::win32::UploadInstallation;

int Hits(const char* endpoint) {
  httplib::Client client("127.0.0.1", 2405);
  auto result = client.Get("/control/hits");
  Json::Value hits;
  if (!result || !Json::Reader().parse(result->body, hits) || !hits.isObject()) return -1;
  return hits[endpoint].asInt();
}

TEST(Win32HttpsUpdate, ACertificateTheStoreDoesNotTrustGetsNoUpdateIn) {
  const std::string tlsDir = "/tmp/wardkeep-win32-tls-" + std::to_string(GetCurrentProcessId());
  StandinSession standin(WARDKEEP_NATIVE_STANDIN, {"--update", "offer-relative", "--tls", tlsDir,
                                                   "--tls-host", "localhost"});
  ASSERT_EQ(standin.Error(), "");
  ScopedTunable platform(platform_client::tunables::baseUrl, "http://127.0.0.1:2405");
  const fs::path download = fs::path(os::ModuleFileName()).parent_path() / L"stock-relay.jar";

  // Wine's root store is read from the host's and takes no additions from
  // inside the prefix, so the trusted case is the native suite's.
  struct Case {
    const char* name;
    const char* server;
  } cases[] = {
      {"authority unknown to the store", "https://localhost:2406"},
      {"certificate for another name as well", "https://127.0.0.1:2406"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
    ASSERT_EQ(installation.Error(), "");
    ScopedTunable server(update::tunables::serverBaseUrl, c.server);
    fs::remove(download);
    const int checksBefore = Hits("update");
    const int downloadsBefore = Hits("download");

    std::string error;
    testing::internal::CaptureStdout();
    upgrade::RunUpdate(error);
    const std::string output = testing::internal::GetCapturedStdout();

    const bool replaced = ReadFile(installation.installed) != installation.oldJar;
    EXPECT_FALSE(replaced) << output << error;
    EXPECT_EQ(Hits("download") - downloadsBefore, 0);
    // A refused certificate ends the exchange before the request is sent.
    EXPECT_EQ(Hits("update") - checksBefore, 0);
    EXPECT_FALSE(fs::exists(download));
  }
  fs::remove(download);
  testing_support::win32::StartHostShell("rm -rf " + ShellQuote(tlsDir));
}

}  // namespace

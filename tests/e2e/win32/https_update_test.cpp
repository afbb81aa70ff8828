// The update run against the native stand-in serving the update server over
// HTTPS with its own test authority, checked by the real Schannel: nothing is
// asked for or installed from a server whose authority the store does not
// know, and the update comes in once the host's bundle names the authority.
// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "os/session.h"
#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/host_shell.h"
#include "support/win32/standin_session.h"
#include "support/win32/upload_installation.h"
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

struct Outcome {
  bool replaced;
  int checks;     // update checks the server answered
  int downloads;  // downloads it served
  std::string output;
};

// One update run against the update server at `server`.
Outcome UpdateFrom(const char* server, const UploadInstallation& installation) {
  const int checksBefore = Hits("update");
  const int downloadsBefore = Hits("download");
  testing::internal::CaptureStdout();
  update::UpdateSettings settings{server, "", "http://127.0.0.1:2405"};
  settings.alsoCountedOwner = installation.countedOwner;
  upgrade::RunUpdate(settings);
  Outcome outcome{};
  outcome.output = testing::internal::GetCapturedStdout();
  outcome.replaced = ReadFile(installation.installed) != installation.oldJar;
  outcome.checks = Hits("update") - checksBefore;
  outcome.downloads = Hits("download") - downloadsBefore;
  return outcome;
}

TEST(Win32HttpsUpdate, ACertificateTheStoreDoesNotTrustGetsNoUpdateIn) {
  const std::string tlsDir = "/tmp/wardkeep-win32-tls-" + std::to_string(GetCurrentProcessId());
  StandinSession standin(WARDKEEP_NATIVE_STANDIN, {"--update", "offer-relative", "--tls", tlsDir,
                                                   "--tls-host", "localhost"});
  ASSERT_EQ(standin.Error(), "");
  const fs::path download =
      fs::path(os::OwnProgramPath().value()).parent_path() / L"stock-relay.jar";

  // Wine's root store is read from the host's and takes no additions from
  // inside the prefix; the trusted case needs a bundle of its own (below).
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
    fs::remove(download);
    const Outcome got = UpdateFrom(c.server, installation);
    EXPECT_FALSE(got.replaced) << got.output;
    EXPECT_EQ(got.downloads, 0);
    // A refused certificate ends the exchange before the request is sent.
    EXPECT_EQ(got.checks, 0);
    EXPECT_FALSE(fs::exists(download));
  }
  fs::remove(download);
  testing_support::win32::StartHostShell("rm -rf " + ShellQuote(tlsDir));
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The Windows path of a host path, through drive Z:.
fs::path OnDriveZ(const std::string& hostPath) {
  std::wstring path = L"Z:";
  for (char c : hostPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

// Wine reads its trusted roots from the host's CA bundle once per process.
// win32/e2e/in_trusting_namespace.sh runs this test in a mount namespace of
// its own, where that bundle is a copy (WARDKEEP_TRUSTED_BUNDLE) this test
// may add the stand-in's authority to before its first TLS handshake.
TEST(Win32HttpsUpdate, AnAuthorityTheHostsBundleNamesGetsTheUpdateIn) {
  const std::string skipped = Environment("WARDKEEP_TRUSTED_BUNDLE_SKIP");
  if (!skipped.empty()) GTEST_SKIP() << skipped;
  const std::string bundle = Environment("WARDKEEP_TRUSTED_BUNDLE");
  if (bundle.empty()) {
    GTEST_SKIP() << "needs a CA bundle of its own in place of the host's; the ctest test "
                    "Win32HttpsUpdateTrusted runs it in a mount namespace";
  }
  const std::string tlsDir =
      "/tmp/wardkeep-win32-tls-trusted-" + std::to_string(GetCurrentProcessId());
  StandinSession standin(WARDKEEP_NATIVE_STANDIN, {"--update", "offer-relative", "--tls", tlsDir,
                                                   "--tls-host", "localhost"});
  ASSERT_EQ(standin.Error(), "");
  {
    // Appended in place: the bind mount is of this very file.
    std::ofstream out(OnDriveZ(bundle), std::ios::binary | std::ios::app);
    out << "\n" << ReadFile(OnDriveZ(tlsDir + "/ca.pem"));
    ASSERT_TRUE(out.flush()) << "cannot add the test authority to " << bundle;
  }
  const fs::path download =
      fs::path(os::OwnProgramPath().value()).parent_path() / L"stock-relay.jar";
  fs::remove(download);

  struct Case {
    const char* name;
    const char* server;
    bool installed;
  } cases[] = {
      {"the name the certificate carries", "https://localhost:2406", true},
      // Wine matches no IP address against the certificate's names.
      {"an address instead of the name", "https://127.0.0.1:2406", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
    ASSERT_EQ(installation.Error(), "");
    const Outcome got = UpdateFrom(c.server, installation);
    EXPECT_EQ(got.replaced, c.installed) << got.output;
    EXPECT_EQ(got.checks, c.installed ? 1 : 0) << got.output;
    EXPECT_EQ(got.downloads, c.installed ? 1 : 0) << got.output;
    if (c.installed) {
      EXPECT_TRUE(installation.ServiceWasRestarted()) << got.output;
      EXPECT_EQ(installation.Backups().size(), 1u);
    }
    fs::remove(download);
  }
  testing_support::win32::StartHostShell("rm -rf " + ShellQuote(tlsDir));
}

}  // namespace

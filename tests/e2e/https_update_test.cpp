// The update run against the stand-in's update server over HTTPS, with a test
// certificate authority the stand-in made: the offer is installed only when
// the certificate is trusted and names the host asked for, and nothing leads
// from the protected server back to plain HTTP.
#ifdef WARDKEEP_STANDIN

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "http/http_session.h"
#include "support/connection_listener.h"
#include "support/posix/program_dir_lock.h"
#include "support/posix/standin_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/update_run.h"

namespace {

namespace fs = std::filesystem;
using comm::http::HttpSession;
using testing_support::ProgramDir;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr long kJarSize = 100000;

// The stand-in with its update server on HTTPS, certified for "localhost" only
// by an authority it makes in a directory of its own.
class TlsStandin {
 public:
  TlsStandin()
      : m_standin(WARDKEEP_STANDIN,
                  {"--update", "offer-relative", "--jar-size", std::to_string(kJarSize), "--tls",
                   m_tls.path().string(), "--tls-host", "localhost"}) {}
  bool Ready() const { return m_standin.Ready(); }
  int UpdatePort() const { return m_standin.UpdatePort(); }
  std::string PlatformUrl() const { return m_standin.PlatformUrl(); }
  std::string CaFile() const { return (m_tls / "ca.pem").string(); }
  std::string UpdateUrl(const std::string& host) const {
    return "https://" + host + ":" + std::to_string(UpdatePort());
  }
  bool Control(const std::string& form) const { return m_standin.Control("/control", form); }
  Json::Value Hits() const { return m_standin.GetJson("/control/hits"); }

 private:
  TempDir m_tls;
  testing_support::StandinProcess m_standin;
};

TEST(HttpsUpdate, InstalledOnlyFromAServerWhoseCertificateHolds) {
  testing_support::ProgramDirLock lock;
  testing_support::ScopedEnv programDrive("WARDKEEP_DRIVE_E", ProgramDir().string());
  TlsStandin standin;
  ASSERT_TRUE(standin.Ready());
  const std::string oldJar = std::string("PK\x03\x04", 4) + std::string(5000, 'o');

  struct Case {
    const char* name;
    std::string host;         // asked for
    bool trustTestCa;         // otherwise the system's store decides
    std::string standinForm;  // the update server's answer
    bool installed;
  } cases[] = {
      {"trusted", "localhost", true, "update=offer-relative", true},
      {"trusted, absolute https offer", "localhost", true,
       "update=offer&offer-url=" + standin.UpdateUrl("localhost") + "/files/stock-relay.jar", true},
      {"authority not trusted", "localhost", false, "update=offer-relative", false},
      {"certificate for another name", "127.0.0.1", true, "update=offer-relative", false},
      {"offer of plain http", "localhost", true,
       "update=offer&offer-url=http://localhost:" + std::to_string(standin.UpdatePort()) +
           "/files/stock-relay.jar",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(standin.Control("platform=healthy&" + c.standinForm));
    const Json::Value before = standin.Hits();
    upgrade_test::UpgradeDrives drives;
    const fs::path app = drives.D() / "orv" / "stock-relay" / "app";
    fs::create_directories(app);
    WriteFile(app / "stock-relay.jar", oldJar);
    fs::remove(ProgramDir() / "stock-relay.jar");

    update::UpdateSettings settings{standin.UpdateUrl(c.host), "", standin.PlatformUrl()};
    if (c.trustTestCa) settings.transfer.caBundle = standin.CaFile();
    ::testing::internal::CaptureStdout();
    upgrade::RunUpdate(settings);
    ::testing::internal::GetCapturedStdout();

    const Json::Value after = standin.Hits();
    const int downloads = after["download"].asInt() - before["download"].asInt();
    const std::string installed = ReadFile(app / "stock-relay.jar");
    if (c.installed) {
      EXPECT_EQ(installed.size(), static_cast<std::size_t>(kJarSize));
      EXPECT_EQ(downloads, 1);
      EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\n");
    } else {
      EXPECT_EQ(installed, oldJar);
      EXPECT_EQ(downloads, 0);
      EXPECT_EQ(drives.NetCalls(), "");
      EXPECT_FALSE(fs::exists(ProgramDir() / "stock-relay.jar"));
    }
    // A certificate that fails ends the exchange before any request is made.
    const int checks = after["update"].asInt() - before["update"].asInt();
    EXPECT_EQ(checks, c.trustTestCa && c.host == "localhost" ? 1 : 0);
  }
  fs::remove(ProgramDir() / "stock-relay.jar");
}

TEST(HttpsUpdate, ARedirectFromHttpsToHttpIsRefused) {
  TlsStandin standin;
  ASSERT_TRUE(standin.Ready());
  testing_support::ConnectionListener listener;
  ASSERT_GT(listener.Port(), 0);
  const std::string endpoint =
      standin.UpdateUrl("localhost") + "/api/updateVersion/checkTallyxSDKVersion";
  const comm::http::TransferOptions trustingTheTestCa{standin.CaFile()};

  // A redirect that stays on https is followed (a 302 turns the POST into a GET).
  ASSERT_TRUE(standin.Control("update=raw&update-status=302&update-location=" +
                              standin.UpdateUrl("localhost") + "/control/state"));
  const comm::http::ExchangeResult followed = HttpSession(endpoint, trustingTheTestCa).Post("{}");
  EXPECT_NE(followed.body, "");
  EXPECT_EQ(followed.text, "");

  const std::string plain = "http://127.0.0.1:" + std::to_string(listener.Port()) + "/x";
  ASSERT_TRUE(standin.Control("update=raw&update-status=302&update-location=" + plain));
  const comm::http::ExchangeResult refused = HttpSession(endpoint, trustingTheTestCa).Post("{}");
  EXPECT_EQ(refused.body, "");
  EXPECT_EQ(refused.text, "Unsupported protocol");  // the network library's refusal
  EXPECT_EQ(listener.Connections(), 0);
}

}  // namespace

#endif  // WARDKEEP_STANDIN

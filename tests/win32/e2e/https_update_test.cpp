// The update run against the native stand-in serving the update server over
// HTTPS with its own test authority, checked by the real Schannel: nothing is
// asked for or installed from a server whose authority the store does not
// know or that names another host; once the authority is in the user's root
// store, the offer is installed.
#include <windows.h>

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "os/session.h"
#include "platform_client/platform_endpoint.h"
#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/host_shell.h"
#include "support/win32/standin_session.h"
#include "support/win32/upload_installation.h"
#include "update/update_config.h"
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

// The test authority in the current user's root store for the test's scope.
class TrustedRoot {
 public:
  explicit TrustedRoot(const fs::path& pemFile) {
    const std::string pem = ReadFile(pemFile);
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr)) {
      return;
    }
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                              nullptr)) {
      return;
    }
    m_store = CertOpenSystemStoreW(0, L"ROOT");
    if (m_store != nullptr &&
        !CertAddEncodedCertificateToStore(m_store, X509_ASN_ENCODING, der.data(), size,
                                          CERT_STORE_ADD_REPLACE_EXISTING, &m_added)) {
      m_added = nullptr;
    }
  }
  ~TrustedRoot() {
    if (m_added != nullptr) CertDeleteCertificateFromStore(m_added);  // frees it too
    if (m_store != nullptr) CertCloseStore(m_store, 0);
  }
  TrustedRoot(const TrustedRoot&) = delete;
  TrustedRoot& operator=(const TrustedRoot&) = delete;
  bool Added() const { return m_added != nullptr; }

 private:
  HCERTSTORE m_store = nullptr;
  PCCERT_CONTEXT m_added = nullptr;
};

TEST(Win32HttpsUpdate, OnlyACertificateTheStoreTrustsForTheHostGetsAnUpdateIn) {
  const std::string tlsDir = "/tmp/wardkeep-win32-tls-" + std::to_string(GetCurrentProcessId());
  StandinSession standin(
      WARDKEEP_NATIVE_STANDIN,
      "--update offer-relative --tls " + ShellQuote(tlsDir) + " --tls-host localhost", true);
  ASSERT_EQ(standin.Error(), "");
  os::Tunable<std::string>::Scoped platform(platform_client::g_baseUrl, "http://127.0.0.1:2405");
  const fs::path download = fs::path(os::ModuleFileName()).parent_path() / L"stock-relay.jar";

  struct Case {
    const char* name;
    const char* server;
    bool trustRoot;
    bool installed;
  } cases[] = {
      {"authority unknown to the store", "https://localhost:2406", false, false},
      {"certificate for another name", "https://127.0.0.1:2406", true, false},
      {"trusted", "https://localhost:2406", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
    ASSERT_EQ(installation.Error(), "");
    std::optional<TrustedRoot> root;
    if (c.trustRoot) {
      root.emplace(L"Z:" + fs::path(tlsDir + "/ca.pem").make_preferred().wstring());
      ASSERT_TRUE(root->Added());
    }
    os::Tunable<std::string>::Scoped server(UpdateServerBaseUrl, c.server);
    fs::remove(download);
    const int checksBefore = Hits("update");
    const int downloadsBefore = Hits("download");

    std::string error;
    testing::internal::CaptureStdout();
    RunUpdate(error);
    const std::string output = testing::internal::GetCapturedStdout();

    const bool replaced = ReadFile(installation.installed) != installation.oldJar;
    EXPECT_EQ(replaced, c.installed) << output;
    EXPECT_EQ(Hits("download") - downloadsBefore, c.installed ? 1 : 0);
    // A refused certificate ends the exchange before the request is sent.
    EXPECT_EQ(Hits("update") - checksBefore, c.installed ? 1 : 0);
    if (!c.installed) EXPECT_FALSE(fs::exists(download));
  }
  fs::remove(download);
  testing_support::win32::StartHostShell("rm -rf " + ShellQuote(tlsDir));
}

}  // namespace

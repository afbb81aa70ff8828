// The whole update run with an offer-signing key built in, against the
// stand-in signing its offers: only the vendor's signed offer of a later
// version gets a JAR installed; every other is refused before a byte of the
// JAR is asked for, the service is never stopped and one line says why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/jar_signing.h"
#include "support/posix/program_dir_lock.h"
#include "support/posix/standin_process.h"
#include "support/scoped_env.h"
#include "support/zip_builder.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/update_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramDir;
using testing_support::ReadFile;
using testing_support::WriteFile;

const char kRefusedOffer[] = "错误: 更新信息未通过校验 (";
const char kNotLater[] = "错误: 提供的版本 (";
const char kBadKey[] = "错误: 内置的签名公钥无效，不检查更新";
const char kNotAsOffered[] = "错误: 新的JAR文件与更新信息不符 (";
const char kUnreadableMark[] = "错误: 无法读取本机已安装的版本记录 (";
const char kRecorded[] = "已记录已安装的版本: ";

enum class Mark { Keep, None, Untrusted };

struct Row {
  const char* name;
  const char* scenario;
  const char* version;  // offered
  const char* key;      // "vendor", "stranger", "small", "none"
  Mark mark;
  const char* installedBefore;  // written as the mark when not empty
  bool downloads;
  bool installs;
  const char* says;
  const char* markAfter;  // the record afterwards; "" when there is none
};

class SignedUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_vendor.WritePrivatePem(m_keys / "jar-signing.pem"));
    m_standin = std::make_unique<testing_support::StandinProcess>(
        WARDKEEP_STANDIN,
        std::vector<std::string>{"--update", "offer", "--jar-signing-key",
                                 (m_keys / "jar-signing.pem").string(), "--jar-size", "200000"});
    ASSERT_TRUE(m_standin->Ready()) << m_standin->Stderr();
  }

  long Downloads() const { return m_standin->GetJson("/control/hits")["download"].asInt(); }

  std::string Mark() const {
    const fs::path state = m_drives.StateDir() / "state";
    return fs::exists(state) ? ReadFile(state) : std::string();
  }

  std::string KeyFor(const std::string& name) const {
    if (name == "vendor") return m_vendor.PublicBase64();
    if (name == "stranger") return m_stranger.PublicBase64();
    if (name == "small") return "AQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    return {};
  }

  void Run(const Row& row) {
    SCOPED_TRACE(row.name);
    const fs::path app = m_drives.D() / "orv" / "stock-relay" / "app";
    fs::remove_all(m_drives.D() / "orv");
    fs::create_directories(app);
    WriteFile(app / "stock-relay.jar", m_oldJar);
    fs::remove(m_drives.NetLog());
    if (row.mark != Mark::Keep) fs::remove_all(m_drives.StateDir());
    if (*row.installedBefore != '\0') {
      fs::create_directories(m_drives.StateDir());
      WriteFile(m_drives.StateDir() / "state",
                std::string("InstalledJarVersion=") + row.installedBefore + "\n");
      if (row.mark == Mark::Untrusted) {
        ASSERT_EQ(chown((m_drives.StateDir() / "state").c_str(), 65534, 65534), 0);
      }
    }
    ASSERT_TRUE(m_standin->Control(
        "/control", std::string("signature=") + row.scenario + "&offer-version=" + row.version));
    const long downloadsBefore = Downloads();

    ::testing::internal::CaptureStdout();
    upgrade::RunUpdate({m_standin->UpdateUrl(), KeyFor(row.key), m_standin->PlatformUrl()});
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(Downloads() > downloadsBefore, row.downloads) << out;
    EXPECT_EQ(ReadFile(app / "stock-relay.jar"), row.installs ? m_standin->Jar() : m_oldJar) << out;
    EXPECT_EQ(m_drives.NetCalls(), row.installs ? "stop stock-relay\nstart stock-relay\n" : "")
        << out;
    EXPECT_NE(out.find(row.says), std::string::npos) << out;
    EXPECT_EQ(Mark(), *row.markAfter == '\0'
                          ? std::string()
                          : std::string("InstalledJarVersion=") + row.markAfter + "\n")
        << out;
    EXPECT_FALSE(fs::exists(app / "stock-relay.jar.part")) << out;
  }

  testing_support::ProgramDirLock m_lock;
  testing_support::ScopedEnv m_programDrive{"WARDKEEP_DRIVE_E", ProgramDir().string()};
  upgrade_test::UpgradeDrives m_drives;
  testing_support::TempDir m_keys;
  const testing_support::Ed25519Key m_vendor;
  const testing_support::Ed25519Key m_stranger;
  const std::string m_oldJar = testing_support::SampleJar(3000, 4);
  std::unique_ptr<testing_support::StandinProcess> m_standin;
};

TEST_F(SignedUpdate, EveryOfferButTheVendorsSignedLaterOneIsRefusedBeforeTheDownload) {
  const Row rows[] = {
      {"older than installed", "valid", "1.9.0", "vendor", Mark::None, "2.0.0", false, false,
       kNotLater, "2.0.0"},
      {"the installed version", "valid", "2.0.0", "vendor", Mark::None, "2.0.0", false, false,
       kNotLater, "2.0.0"},
      {"no signature", "omit", "2.0.0", "vendor", Mark::None, "", false, false, kRefusedOffer, ""},
      {"empty signature", "empty", "2.0.0", "vendor", Mark::None, "", false, false, kRefusedOffer,
       ""},
      {"not Base64", "not-base64", "2.0.0", "vendor", Mark::None, "", false, false, kRefusedOffer,
       ""},
      {"63 bytes", "short", "2.0.0", "vendor", Mark::None, "", false, false, kRefusedOffer, ""},
      {"signed for another size", "other-size", "2.0.0", "vendor", Mark::None, "", false, false,
       kRefusedOffer, ""},
      {"signed for another hash", "other-hash", "2.0.0", "vendor", Mark::None, "", false, false,
       kRefusedOffer, ""},
      {"signed for another version", "other-version", "2.0.0", "vendor", Mark::None, "", false,
       false, kRefusedOffer, ""},
      {"the old message", "old-format", "2.0.0", "vendor", Mark::None, "", false, false,
       kRefusedOffer, ""},
      {"signed by another key", "other-key", "2.0.0", "vendor", Mark::None, "", false, false,
       kRefusedOffer, ""},
      {"a foreign key built in", "valid", "2.0.0", "stranger", Mark::None, "", false, false,
       kRefusedOffer, ""},
      {"a small-order key built in", "valid", "2.0.0", "small", Mark::None, "", false, false,
       kBadKey, ""},
      {"a version that is not numbers", "valid", "2.0.0-rc1", "vendor", Mark::None, "", false,
       false, kRefusedOffer, ""},
      {"a record nobody but root may trust", "valid", "2.0.0", "vendor", Mark::Untrusted, "1.0.0",
       false, false, kUnreadableMark, "1.0.0"},
      // Signed, but the JAR served is not the one signed: fetched, never installed.
      {"another JAR than signed", "other-jar", "2.0.0", "vendor", Mark::None, "", true, false,
       kNotAsOffered, ""},
      // The vendor's offer installs and is recorded; replayed, it is refused.
      {"valid", "valid", "2.0.0", "vendor", Mark::None, "1.0.0", true, true, kRecorded, "2.0.0"},
      {"the same offer replayed", "valid", "2.0.0", "vendor", Mark::Keep, "", false, false,
       kNotLater, "2.0.0"},
      {"a later one after it", "valid", "v2.0.1", "vendor", Mark::Keep, "", true, true, kRecorded,
       "v2.0.1"},
      // Without a key an unsigned offer installs as before, and nothing is recorded.
      {"no key built in", "omit", "1.0.0", "none", Mark::None, "", true, true, "操作完成。", ""},
  };
  for (const Row& row : rows) Run(row);
  fs::remove(ProgramDir() / "stock-relay.jar");
}

// With the vendor's signed offer: the JAR installed now is not downloaded
// again; a JAR the service ran with only after it was put back is recorded,
// and offered again it is not downloaded either. The service is not stopped
// for either.
TEST_F(SignedUpdate, TheInstalledJarAndOnePutBackAreNotDownloaded) {
  const fs::path app = m_drives.D() / "orv" / "stock-relay" / "app";
  const std::string hash = testing_support::Sha256Hex(m_standin->Jar());
  const fs::path offered = m_keys / "offered.jar";
  WriteFile(offered, m_standin->Jar());
  ASSERT_TRUE(m_standin->Control("/control", "signature=valid&offer-version=2.0.0"));
  const update::UpdateSettings settings{m_standin->UpdateUrl(), m_vendor.PublicBase64(),
                                        m_standin->PlatformUrl()};
  // The offered JAR never runs; the old one does.
  m_drives.WriteNet(m_drives.LogNet() + "[ \"$1\" = start ] && cmp -s '" +
                    (app / "stock-relay.jar").string() + "' '" + offered.string() +
                    "' && exit 2\n" + m_drives.ServeNet());
  const std::string putBack = "RolledBackJarSha256=" + hash + "\n";
  const struct {
    const char* what;
    std::string installed;
    bool downloads;
    const char* netCalls;
    std::string says;
    std::string stateAfter;
  } rows[] = {
      {"the installed JAR offered", m_standin->Jar(), false, "",
       "提供的JAR文件与已安装的相同 (SHA-256 " + hash + ")，不进行更新\n", ""},
      {"a JAR that does not run", m_oldJar, true,
       "stop stock-relay\nstart stock-relay\nstop stock-relay\nstart stock-relay\n",
       "已记录未能运行的JAR文件: SHA-256 " + hash, putBack},
      {"offered again", m_oldJar, false, "",
       "错误: 该JAR文件曾因服务未能运行而被换回 (SHA-256 " + hash + ", " +
           (m_drives.StateDir() / "state").string() + ")，不进行更新\n",
       putBack},
  };
  fs::remove_all(m_drives.StateDir());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(m_drives.D() / "orv");
    fs::create_directories(app);
    WriteFile(app / "stock-relay.jar", row.installed);
    fs::remove(m_drives.NetLog());
    const long downloadsBefore = Downloads();
    ::testing::internal::CaptureStdout();
    upgrade::RunUpdate(settings);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(Downloads() > downloadsBefore, row.downloads) << out;
    EXPECT_EQ(ReadFile(app / "stock-relay.jar"), row.installed) << out;
    EXPECT_EQ(m_drives.NetCalls(), row.netCalls) << out;
    EXPECT_NE(out.find(row.says), std::string::npos) << out;
    EXPECT_EQ(Mark(), row.stateAfter) << out;
  }
  fs::remove(ProgramDir() / "stock-relay.jar");
}

}  // namespace

// The whole update run with a JAR-signing key built in, against the stand-in
// signing its offers: only the vendor's valid signature gets a JAR installed,
// and for every other the service is never stopped and one line says why.
#include <gtest/gtest.h>

#include <string>

#include "platform_client/tunables.h"
#include "support/jar_signing.h"
#include "support/posix/program_dir_lock.h"
#include "support/posix/standin_process.h"
#include "support/scoped_env.h"
#include "support/zip_builder.h"
#include "update/tunables.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/update_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramDir;
using testing_support::ReadFile;
using testing_support::WriteFile;

TEST(SignedUpdate, OnlyAValidSignatureGetsTheJarInstalled) {
  testing_support::ProgramDirLock lock;
  testing_support::ScopedEnv programDrive("WARDKEEP_DRIVE_E", ProgramDir().string());
  upgrade_test::UpgradeDrives drives;
  testing_support::TempDir keys;
  const testing_support::Ed25519Key key;
  const fs::path pem = keys / "jar-signing.pem";
  ASSERT_TRUE(key.WritePrivatePem(pem));
  ASSERT_EQ(key.PublicBase64().size(), 44u);
  testing_support::StandinProcess standin(
      WARDKEEP_STANDIN,
      {"--update", "offer", "--jar-signing-key", pem.string(), "--jar-size", "200000"});
  ASSERT_TRUE(standin.Ready()) << standin.Stderr();
  tunable::ScopedTunable platform(platform_client::tunables::baseUrl, standin.PlatformUrl());
  tunable::ScopedTunable server(update::tunables::serverBaseUrl, standin.UpdateUrl());

  const fs::path app = drives.D() / "orv" / "stock-relay" / "app";
  const std::string oldJar = testing_support::SampleJar(3000, 4);
  const std::string refused = "错误: 新的JAR文件签名无效 (";
  const struct {
    const char* scenario;
    bool keyBuiltIn;
    bool installs;
  } rows[] = {
      {"valid", true, true},
      {"omit", true, false},
      {"empty", true, false},
      {"not-base64", true, false},
      {"short", true, false},
      {"other-key", true, false},
      {"other-file", true, false},
      {"unprefixed", true, false},
      // Without a key built in, an unsigned offer is installed as before.
      {"omit", false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.scenario) + (row.keyBuiltIn ? " with a key" : " without a key"));
    fs::remove_all(drives.D() / "orv");
    fs::create_directories(app);
    WriteFile(app / "stock-relay.jar", oldJar);
    fs::remove(drives.NetLog());
    ASSERT_TRUE(standin.Control("/control/signature", std::string("scenario=") + row.scenario));
    tunable::ScopedTunable signingKey(update::tunables::jarSigningKey,
                                      row.keyBuiltIn ? key.PublicBase64() : std::string());

    std::string error;
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(upgrade::RunUpdate(error));
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(ReadFile(app / "stock-relay.jar"), row.installs ? standin.Jar() : oldJar) << out;
    EXPECT_EQ(drives.NetCalls(), row.installs ? "stop stock-relay\nstart stock-relay\n" : "")
        << out;
    EXPECT_EQ(out.find(refused) != std::string::npos, !row.installs) << out;
    EXPECT_FALSE(fs::exists(app / "stock-relay.jar.part")) << out;
  }
  fs::remove(ProgramDir() / "stock-relay.jar");
}

}  // namespace

// scripts/sign-jar as the vendor runs it: its keys and signatures are the ones
// the program accepts, and the stand-in signs with the keys it makes.
#ifdef WARDKEEP_STANDIN

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "os/files.h"
#include "support/posix/child_process.h"
#include "support/posix/standin_process.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/jar_signature.h"
#include "update/tunables.h"
#include "update/update_check.h"

namespace {

using testing_support::TempDir;
using update::SignatureVerdict;

struct Outcome {
  int status = -1;
  std::string out;  // stdout without the line feed
  std::string err;
};

Outcome Script(const TempDir& dir, const std::string& name, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), std::string(WARDKEEP_SOURCE_DIR) + "/scripts/" + name);
  testing_support::ChildProcess script(arguments, {}, dir.path());
  Outcome outcome;
  const auto status = script.Wait(std::chrono::seconds(30));
  if (status && WIFEXITED(*status)) outcome.status = WEXITSTATUS(*status);
  outcome.out = script.Stdout();
  while (!outcome.out.empty() && outcome.out.back() == '\n') outcome.out.pop_back();
  outcome.err = script.Stderr();
  return outcome;
}

Outcome SignJar(const TempDir& dir, std::vector<std::string> arguments) {
  return Script(dir, "sign-jar", std::move(arguments));
}

SignatureVerdict Verify(const TempDir& dir, const std::string& file, const std::string& key,
                        const std::string& signature) {
  tunable::ScopedTunable builtIn(update::tunables::jarSigningKey, key);
  os::ReadOnlyFile jar;
  EXPECT_TRUE(jar.Open(testing_support::WindowsFormPath(dir / file)));
  return update::VerifyJarSignature(jar, signature);
}

TEST(SignJarScript, ItsSignaturesVerifyWithItsPublicKey) {
  TempDir dir;
  const std::string pem = (dir / "vendor.pem").string();
  const Outcome keygen = SignJar(dir, {"keygen", pem});
  ASSERT_EQ(keygen.status, 0) << keygen.err;
  ASSERT_EQ(keygen.out.size(), 44u) << keygen.out;
  const Outcome again = SignJar(dir, {"pubkey", pem});
  EXPECT_EQ(again.out, keygen.out);
  // The private half is the owner's alone.
  EXPECT_EQ(std::filesystem::status(pem).permissions() & std::filesystem::perms::group_all,
            std::filesystem::perms::none);

  struct File {
    const char* name;
    std::string bytes;
  };
  const File files[] = {{"empty.jar", ""},
                        {"small.jar", "PK\x03\x04 not much"},
                        {"line feeds.jar", std::string(300000, '\n') + "end"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    testing_support::WriteFile(dir / f.name, f.bytes);
    const Outcome sign = SignJar(dir, {"sign", pem, (dir / f.name).string()});
    ASSERT_EQ(sign.status, 0) << sign.err;
    EXPECT_EQ(sign.out.size(), 88u);
    EXPECT_EQ(Verify(dir, f.name, keygen.out, sign.out), SignatureVerdict::Valid);
    testing_support::WriteFile(dir / "changed.jar", f.bytes + "x");
    EXPECT_EQ(Verify(dir, "changed.jar", keygen.out, sign.out), SignatureVerdict::Mismatch);
  }

  // Another key pair from the same script does not stand in for this one.
  const Outcome other = SignJar(dir, {"keygen", (dir / "other.pem").string()});
  ASSERT_EQ(other.status, 0);
  EXPECT_NE(other.out, keygen.out);
  const Outcome foreign =
      SignJar(dir, {"sign", (dir / "other.pem").string(), (dir / "small.jar").string()});
  EXPECT_EQ(Verify(dir, "small.jar", keygen.out, foreign.out), SignatureVerdict::Mismatch);
}

TEST(SignJarScript, RefusesWhatItCannotDoAndNeverOverwritesAKey) {
  TempDir dir;
  testing_support::WriteFile(dir / "a.jar", "PK");
  testing_support::WriteFile(dir / "taken.pem", "keep me");
  const std::string rsa = std::string(WARDKEEP_SOURCE_DIR) + "/tools/standin/update_key.pem";
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    int status;
  } cases[] = {
      {"help", {"-h"}, 0},
      {"no arguments", {}, 2},
      {"unknown command", {"verify", rsa}, 2},
      {"sign without a file", {"sign", rsa}, 2},
      {"an RSA key", {"sign", rsa, (dir / "a.jar").string()}, 1},
      {"a missing key", {"sign", (dir / "none.pem").string(), (dir / "a.jar").string()}, 1},
      {"an existing key file", {"keygen", (dir / "taken.pem").string()}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = SignJar(dir, c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    // Usage on the asked-for stream; a refusal prints nothing to stdout.
    EXPECT_EQ(outcome.out.find("sign-jar keygen") != std::string::npos, c.status == 0);
  }
  EXPECT_EQ(testing_support::ReadFile(dir / "taken.pem"), "keep me");
}

// The key the script makes is the key the stand-in signs with, and the
// public half it prints is the one that verifies.
TEST(SignJarScript, TheStandinSignsWithItsKeys) {
  TempDir dir;
  const std::string pem = (dir / "vendor.pem").string();
  const Outcome keygen = SignJar(dir, {"keygen", pem});
  ASSERT_EQ(keygen.status, 0) << keygen.err;
  testing_support::StandinProcess standin(WARDKEEP_STANDIN,
                                          {"--update", "offer", "--jar-signing-key", pem});
  ASSERT_TRUE(standin.Ready()) << standin.Stderr();
  httplib::Client client("127.0.0.1", standin.UpdatePort());
  auto answer = client.Post("/api/updateVersion/checkTallyxSDKVersion", "{}", "application/json");
  ASSERT_TRUE(answer);
  tunable::ScopedTunable server(update::tunables::serverBaseUrl, standin.UpdateUrl());
  update::UpdateOffer offer;
  update::ParseUpdateResponse(answer->body, offer);
  ASSERT_FALSE(offer.signature.empty()) << answer->body;
  testing_support::WriteFile(dir / "served.jar", standin.Jar());
  EXPECT_EQ(Verify(dir, "served.jar", keygen.out, offer.signature), SignatureVerdict::Valid);
  // And the script's own signature of the served file is the same one: Ed25519 is deterministic.
  const Outcome sign = SignJar(dir, {"sign", pem, (dir / "served.jar").string()});
  EXPECT_EQ(sign.out, offer.signature);
}

// Only calls that are refused before anything is built: a release takes minutes.
TEST(ReleaseScript, APlainHttpServerNeedsASigningKeyOrAnExplicitNo) {
  TempDir dir;
  const std::string work = (dir / "work").string();
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    const char* says;  // on stderr
  } cases[] = {
      {"http without a key", {"--server-url", "http://10.1.2.3:2406"}, 1, "--allow-unsigned"},
      {"http in capitals", {"--server-url", "HTTP://10.1.2.3:2406"}, 1, "plain http"},
      {"a key too short", {"--signing-key", "abc"}, 1, "44 Base64 characters"},
      {"a key without its padding",
       {"--server-url", "http://10.1.2.3:2406", "--signing-key", std::string(44, 'A')},
       1,
       "44 Base64 characters"},
      {"a key with a character outside Base64",
       {"--signing-key", std::string(42, 'A') + "-="},
       1,
       "44 Base64 characters"},
      {"a key without a value",
       {"--server-url", "https://u.example:2406", "--signing-key"},
       2,
       "--allow-unsigned"},
      {"an unknown option", {"--sign-key", "x"}, 2, "--signing-key"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), {"--work", work, "--out", (dir / "dist").string()});
    const Outcome outcome = Script(dir, "release", arguments);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(work));
  }
}

}  // namespace

#endif  // WARDKEEP_STANDIN

// scripts/sign-jar as the vendor runs it: its keys and signed offers are the
// ones the program accepts, as are those of the openssl tool alone, and the
// stand-in signs with the keys it makes.
#ifdef WARDKEEP_STANDIN

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <json/reader.h>
#include <json/value.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/files.h"
#include "support/jar_signing.h"
#include "support/posix/child_process.h"
#include "support/posix/standin_process.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/offer_check.h"
#include "update/update_check.h"

namespace {

using testing_support::TempDir;
using update::OfferFault;

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

// The offer sign-jar prints, as the update server would send it in "data".
update::UpdateOffer OfferFromJson(const std::string& json) {
  Json::Value data;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string error;
  update::UpdateOffer offer;
  if (!reader->parse(json.data(), json.data() + json.size(), &data, &error) || !data.isObject()) {
    ADD_FAILURE() << "not a JSON object: " << json;
    return offer;
  }
  offer.downloadUrl = "http://updates.example:2406/files/stock-relay.jar";
  offer.remoteVersion = data["version"].asString();
  offer.size = data["size"].isIntegral() ? std::to_string(data["size"].asInt64()) : "";
  offer.sha256 = data["sha256"].asString();
  offer.signature = data["signature"].asString();
  return offer;
}

OfferFault Check(const update::UpdateOffer& offer, const std::string& key) {
  return update::CheckOffer({"", key}, offer, std::nullopt).fault;
}

TEST(SignJarScript, ItsSignedOffersPassWithItsPublicKey) {
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
    const Outcome sign = SignJar(dir, {"sign", pem, (dir / f.name).string(), "v2.0.1"});
    ASSERT_EQ(sign.status, 0) << sign.err;
    const update::UpdateOffer offer = OfferFromJson(sign.out);
    EXPECT_EQ(offer.remoteVersion, "v2.0.1");
    EXPECT_EQ(offer.size, std::to_string(f.bytes.size()));
    EXPECT_EQ(offer.sha256, testing_support::Sha256Hex(f.bytes));
    EXPECT_EQ(offer.signature.size(), 88u);
    EXPECT_EQ(Check(offer, keygen.out), OfferFault::None);
    update::UpdateOffer changed = offer;
    changed.remoteVersion = "v2.0.2";
    EXPECT_EQ(Check(changed, keygen.out), OfferFault::WrongSignature);
  }

  // Another key pair from the same script does not stand in for this one.
  const Outcome other = SignJar(dir, {"keygen", (dir / "other.pem").string()});
  ASSERT_EQ(other.status, 0);
  EXPECT_NE(other.out, keygen.out);
  const Outcome foreign =
      SignJar(dir, {"sign", (dir / "other.pem").string(), (dir / "small.jar").string(), "2.0.0"});
  EXPECT_EQ(Check(OfferFromJson(foreign.out), keygen.out), OfferFault::WrongSignature);
}

// Any Ed25519 signer will do: the openssl tool alone, with the text written
// by hand as the guide describes it.
TEST(SignJarScript, TheOpensslToolAloneMakesOffersThatPass) {
  TempDir dir;
  testing_support::WriteFile(dir / "stock-relay.jar", "PK\x03\x04 a JAR of sorts");
  const std::string script = R"(set -e
cd "$1"
openssl genpkey -algorithm ed25519 -out key.pem
openssl pkey -in key.pem -pubout -outform DER | tail -c 32 | base64 -w0 > public.txt
size=$(stat -c %s stock-relay.jar)
hash=$(sha256sum < stock-relay.jar | cut -c1-64)
printf 'wardkeep-offer-v1\nproduct=stock-relay\nversion=%s\nsize=%s\nsha256=%s\n' 3.1 "$size" "$hash" > offer.txt
openssl pkeyutl -sign -rawin -inkey key.pem -in offer.txt | base64 -w0 > signature.txt
echo "$size $hash"
)";
  testing_support::ChildProcess shell({"/bin/sh", "-c", script, "sh", dir.path().string()}, {},
                                      dir.path());
  const auto status = shell.Wait(std::chrono::seconds(30));
  ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << shell.Stderr();
  const std::string out = shell.Stdout();
  update::UpdateOffer offer;
  offer.remoteVersion = "3.1";
  offer.size = out.substr(0, out.find(' '));
  offer.sha256 = out.substr(out.find(' ') + 1, 64);
  offer.signature = testing_support::ReadFile(dir / "signature.txt");
  const std::string key = testing_support::ReadFile(dir / "public.txt");
  EXPECT_EQ(Check(offer, key), OfferFault::None);
  offer.size = std::to_string(std::stoll(offer.size) + 1);
  EXPECT_EQ(Check(offer, key), OfferFault::WrongSignature);
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
      {"sign without a version", {"sign", rsa, (dir / "a.jar").string()}, 2},
      {"an RSA key", {"sign", rsa, (dir / "a.jar").string(), "2.0"}, 1},
      {"a missing key", {"sign", (dir / "none.pem").string(), (dir / "a.jar").string(), "2.0"}, 1},
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
  update::UpdateOffer offer;
  update::ReadUpdateResponse(answer->body, {standin.UpdateUrl(), ""}, offer);
  ASSERT_FALSE(offer.signature.empty()) << answer->body;
  EXPECT_EQ(Check(offer, keygen.out), OfferFault::None);
  testing_support::WriteFile(dir / "served.jar", standin.Jar());
  EXPECT_EQ(offer.sha256, testing_support::Sha256Hex(standin.Jar()));
  // And the script's own offer of the served file is the same one: Ed25519 is deterministic.
  const Outcome sign =
      SignJar(dir, {"sign", pem, (dir / "served.jar").string(), offer.remoteVersion});
  EXPECT_EQ(OfferFromJson(sign.out).signature, offer.signature);
}

// Only calls that are refused before anything is built: a release takes minutes.
TEST(ReleaseScript, RefusesAServerOrKeyItCannotTrust) {
  TempDir dir;
  // A real Ed25519 public key (RFC 8032's first test vector).
  const std::string kGoodKey = "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=";
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
      {"the all-zero key", {"--signing-key", std::string(43, 'A') + "="}, 1, "small order"},
      {"the identity as key",
       {"--signing-key", "AQ" + std::string(41, 'A') + "="},
       1,
       "small order"},
      {"a point of order 8 among good keys",
       {"--signing-key", kGoodKey + ",JuiVj8KyJ7BFw/SJ8u+Y8NXfrAXTxjM5sTgCiG1T/IU="},
       1,
       "small order"},
      {"a key without its proof", {"--signing-key", kGoodKey}, 1, "--signing-key-proof"},
      {"two keys, one proof",
       {"--signing-key", kGoodKey + ";" + kGoodKey, "--signing-key-proof", "x.pem"},
       1,
       "--signing-key-proof"},
      {"a proof without a key", {"--signing-key-proof", "x.pem"}, 1, "without --signing-key"},
      {"a proof that is no file",
       {"--signing-key", kGoodKey, "--signing-key-proof", "missing.pem"},
       1,
       "cannot read"},
      {"a server on this PC without a key",
       {"--server-url", "https://127.0.0.1:2406"},
       1,
       "on the PC itself"},
      {"localhost without a key",
       {"--server-url", "https://localhost:2406"},
       1,
       "on the PC itself"},
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

// The proof of a key is made after the release's own packages are there (it
// needs the openssl tool) and before anything is built: a private key that is
// not the public key's stops it.
TEST(ReleaseScript, ASigningKeyIsProvenByItsPrivateHalf) {
  TempDir dir;
  testing_support::ChildProcess query(
      {"dpkg-query", "-W", "-f=${Status}\n", "osslsigncode", "openssl"}, {}, dir.path());
  const auto status = query.Wait(std::chrono::seconds(30));
  if (!status || query.Stdout() != "install ok installed\ninstall ok installed\n") {
    GTEST_SKIP() << "the release's packages are not installed; the script would install them";
  }
  const std::string pem = (dir / "vendor.pem").string();
  const std::string otherPem = (dir / "other.pem").string();
  const Outcome vendor = SignJar(dir, {"keygen", pem});
  ASSERT_EQ(vendor.status, 0) << vendor.err;
  ASSERT_EQ(SignJar(dir, {"keygen", otherPem}).status, 0);
  const Outcome outcome =
      Script(dir, "release",
             {"--work", (dir / "work").string(), "--out", (dir / "dist").string(), "--server-url",
              "https://updates.example:2406", "--signing-key", vendor.out, "--signing-key-proof",
              otherPem});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("no --signing-key-proof signs so that it verifies"), std::string::npos)
      << outcome.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "work" / "build"));
}

}  // namespace

#endif  // WARDKEEP_STANDIN

// The stand-in as the other suites use it: a real process on free ports,
// switched through its control calls, spoken to over real HTTP.
#ifdef WARDKEEP_STANDIN

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>
#include <optional>
#include <regex>

#include "os/files.h"
#include "support/jar_signing.h"
#include "support/posix/standin_process.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/offer_check.h"
#include "update/update_check.h"

namespace {

using testing_support::ReadFile;
using testing_support::StandinPorts;
using testing_support::StandinProcess;
using testing_support::TempDir;
using testing_support::WriteFile;

// The shared launcher, spoken to here through raw clients on either port.
class Standin {
 public:
  explicit Standin(std::vector<std::string> extra = {}) : m_process(WARDKEEP_STANDIN, extra) {}

  bool Ready() const { return m_process.Ready(); }
  httplib::Client Platform() const { return Client(m_process.PlatformPort()); }
  httplib::Client Update() const { return Client(m_process.UpdatePort()); }
  int UpdatePort() const { return m_process.UpdatePort(); }

  // Applies settings as a person would with curl -d.
  void Control(const std::string& path, const std::string& form) const {
    auto result = Platform().Post(path, form, "application/x-www-form-urlencoded");
    ASSERT_TRUE(result) << path;
    ASSERT_EQ(result->status, 200) << result->body;
  }

  // The control routes answer on the update port too.
  Json::Value GetJson(const std::string& path) const {
    auto result = Update().Get(path);
    Json::Value value;
    if (result) Json::Reader().parse(result->body, value);
    return value;
  }

 private:
  static httplib::Client Client(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10, 0);
    return client;
  }

  StandinProcess m_process;
};

TEST(Standin, PortsAreTakenOnlyFromAWholeAnnouncement) {
  struct Case {
    const char* output;
    int platform;  // 0: nothing yet
    int update;
  };
  const Case cases[] = {
      {"platform 127.0.0.1:41000\nupdate 127.0.0.1:41001\n", 41000, 41001},
      // The second line still on its way: a port cut short must not be taken.
      {"platform 127.0.0.1:41000\nupdate 127.0.0.1:4100", 0, 0},
      {"platform 127.0.0.1:41000\n", 0, 0},
      {"wardkeep-standin: cannot listen on 127.0.0.1 port 2405\n", 0, 0},
  };
  for (const auto& c : cases) {
    const auto address = testing_support::AnnouncedAddress(c.output);
    EXPECT_EQ(address ? address->platformPort : 0, c.platform) << c.output;
    EXPECT_EQ(address ? address->updatePort : 0, c.update) << c.output;
  }
}

TEST(Standin, OnTheFixedPortsASecondGivesUpAtOnce) {
  StandinProcess first(WARDKEEP_STANDIN, {}, StandinPorts::Fixed);
  ASSERT_TRUE(first.Ready()) << "ports 2405/2406 busy? " << first.Stderr();
  EXPECT_EQ(first.PlatformUrl(), "http://127.0.0.1:2405");
  EXPECT_EQ(first.UpdateUrl(), "http://127.0.0.1:2406");

  const auto started = std::chrono::steady_clock::now();
  StandinProcess second(WARDKEEP_STANDIN, {}, StandinPorts::Fixed);
  EXPECT_FALSE(second.Ready());
  // It has ended, so waiting out the whole start-up time would tell nothing.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_NE(second.Stderr().find("cannot listen"), std::string::npos) << second.Stderr();
  EXPECT_TRUE(first.Control("/control/platform", "scenario=healthy"));
}

Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  EXPECT_TRUE(Json::Reader().parse(text, value)) << text;
  return value;
}

TEST(Standin, PlatformScenariosSwitchWhileRunning) {
  Standin standin;
  ASSERT_TRUE(standin.Ready());
  struct Case {
    std::string control;
    int status;
    std::string body;  // exact, or a prefix when it ends with "..."
  };
  const Case cases[] = {
      {"scenario=healthy", 200, R"({"configDto":[],"exceptionDto":{"expContent":"","ok":true}})"},
      {"scenario=fault&fault-text=%E6%95%85%E9%9A%9C&erp=A&erp=&erp=B", 200,
       R"({"configDto":[{"erpName":"A"},{"erpName":""},{"erpName":"B"}],)"
       R"("exceptionDto":{"expContent":"故障","ok":false}})"},
      // A new list replaces the old one.
      {"erp=C", 200,
       R"({"configDto":[{"erpName":"C"}],"exceptionDto":{"expContent":"故障","ok":false}})"},
      {"scenario=empty", 200, ""},
      {"scenario=html", 500, "<!DOCTYPE html>..."},
      {"scenario=raw&platform-status=503&platform-body=%7B%7D", 503, "{}"},
  };
  for (const auto& c : cases) {
    standin.Control("/control/platform", c.control);
    auto result = standin.Platform().Get("/");
    ASSERT_TRUE(result) << c.control;
    EXPECT_EQ(result->status, c.status) << c.control;
    if (c.body.ends_with("...")) {
      EXPECT_TRUE(result->body.starts_with(c.body.substr(0, c.body.size() - 3))) << result->body;
    } else {
      EXPECT_EQ(result->body, c.body) << c.control;
    }
  }

  // A refused change leaves everything as it was.
  auto refused = standin.Platform().Post("/control", "platform=healthy&platform-status=x",
                                         "application/x-www-form-urlencoded");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
  EXPECT_EQ(standin.GetJson("/control/state")["platform"].asString(), "raw");

  standin.Control("/control", R"({"version-text":"v3.1.4"})");
  auto version = standin.Platform().Get("/api/openApi/version");
  ASSERT_TRUE(version);
  EXPECT_EQ(version->body, R"({"data":"v3.1.4"})");
}

TEST(Standin, StalledRequestIsReleasedByTheNextChange) {
  Standin standin;
  ASSERT_TRUE(standin.Ready());
  standin.Control("/control/platform", "scenario=stall");

  auto client = standin.Platform();
  client.set_read_timeout(1, 0);
  EXPECT_FALSE(client.Get("/"));  // nothing arrives in time

  auto started = std::chrono::steady_clock::now();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    standin.Control("/control/platform", "scenario=healthy");
  });
  auto patient = standin.Platform();
  auto held = patient.Get("/");
  release.join();
  ASSERT_TRUE(held);
  EXPECT_EQ(held->status, 503);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

std::string FileBytes(std::size_t size) {
  std::string bytes = "PK\x03\x04";
  for (std::size_t i = bytes.size(); i < size; ++i) bytes += static_cast<char>((i * 7919) >> 3);
  return bytes;
}

TEST(Standin, DownloadHonoursRangesUnlessToldNotTo) {
  TempDir dir;
  const std::string file = FileBytes(200000);
  const auto jar = dir / "stock-relay.jar";
  WriteFile(jar, file);
  Standin standin({"--jar", jar.string()});
  ASSERT_TRUE(standin.Ready());

  struct Case {
    std::string download;
    std::string range;
    int status;
    std::string contentRange;
    std::size_t from;  // where the body starts in the file
    std::size_t length;
  };
  const Case cases[] = {
      {"normal", "", 200, "", 0, 200000},
      {"normal", "bytes=1234-", 206, "bytes 1234-199999/200000", 1234, 200000 - 1234},
      {"normal", "bytes=10-19", 206, "bytes 10-19/200000", 10, 10},
      {"normal", "bytes=200000-", 416, "bytes */200000", 0, 0},
      {"ignore-range", "bytes=1234-", 200, "", 0, 200000},
  };
  for (const auto& c : cases) {
    standin.Control("/control/download", "scenario=" + c.download);
    httplib::Headers headers;
    if (!c.range.empty()) headers.emplace("Range", c.range);
    auto result = standin.Update().Get("/files/stock-relay.jar", headers);
    ASSERT_TRUE(result) << c.range;
    EXPECT_EQ(result->status, c.status) << c.range;
    EXPECT_EQ(result->get_header_value("Content-Range"), c.contentRange) << c.range;
    EXPECT_TRUE(result->body == file.substr(c.from, c.length)) << c.range;
  }

  auto downloads = standin.GetJson("/control/downloads");
  ASSERT_EQ(downloads.size(), std::size(cases));
  EXPECT_EQ(downloads[1]["range"].asString(), "bytes=1234-");
  EXPECT_EQ(downloads[1]["status"].asInt(), 206);
}

// Queued settings take effect one per download, from the second on, however
// quickly the downloads follow each other; a bad one is refused when queued.
TEST(Standin, QueuedDownloadSettingsTakeTurnsByRequest) {
  Standin standin;
  ASSERT_TRUE(standin.Ready());
  standin.Control("/control/download", "scenario=normal");
  standin.Control("/control/download/queue", "scenario=404");
  standin.Control("/control/download/queue", "scenario=500");
  const int expected[] = {200, 404, 500, 500};
  for (int status : expected) {
    auto result = standin.Update().Get("/files/stock-relay.jar");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, status);
  }
  standin.Control("/control/clear", "");
  auto refused = standin.Platform().Post("/control/download/queue", "scenario=sometimes",
                                         "application/x-www-form-urlencoded");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
  EXPECT_EQ(standin.Update().Get("/files/stock-relay.jar")->status, 500);
}

TEST(Standin, DropDeliversExactlyTheGivenBytesThenCloses) {
  Standin standin({"--jar-size", "300000", "--download", "drop-once", "--drop-after", "100000"});
  ASSERT_TRUE(standin.Ready());

  auto fetch = [&](std::string& body) {
    body.clear();
    auto client = standin.Update();
    return client.Get("/files/stock-relay.jar", [&](const char* data, size_t length) {
      body.append(data, length);
      return true;
    });
  };
  std::string first;
  auto cut = fetch(first);
  EXPECT_FALSE(cut);  // the connection ended short of Content-Length
  EXPECT_EQ(first.size(), 100000u);
  EXPECT_TRUE(first.starts_with("PK\x03\x04"));

  std::string second;
  auto whole = fetch(second);
  ASSERT_TRUE(whole);
  EXPECT_EQ(second.size(), 300000u);
  EXPECT_EQ(second.substr(0, first.size()), first);  // same content every time

  standin.Control("/control/download", "scenario=drop-always&drop-after=0");
  for (int i = 0; i < 2; ++i) {
    std::string none;
    EXPECT_FALSE(fetch(none));
    EXPECT_TRUE(none.empty());
  }
}

std::string EncryptForStandin(const std::string& plaintext) {
  std::string key =
      ReadFile(std::filesystem::path(WARDKEEP_SOURCE_DIR) / "tools/standin/update_key.pub");
  while (!key.empty() && key.back() == '\n') key.pop_back();
  EXPECT_EQ(key.size(), 128u);
  const std::string pem = "-----BEGIN PUBLIC KEY-----\n" + key.substr(0, 64) + "\n" +
                          key.substr(64) + "\n-----END PUBLIC KEY-----\n";
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), -1), BIO_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
      PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
  if (!pkey) return "";
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new(pkey.get(), nullptr), EVP_PKEY_CTX_free);
  EVP_PKEY_encrypt_init(ctx.get());
  EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING);
  unsigned char cipher[64];
  size_t length = sizeof cipher;
  if (EVP_PKEY_encrypt(ctx.get(), cipher, &length,
                       reinterpret_cast<const unsigned char*>(plaintext.data()),
                       plaintext.size()) <= 0) {
    return "";
  }
  unsigned char text[89];
  EVP_EncodeBlock(text, cipher, static_cast<int>(length));
  return reinterpret_cast<char*>(text);
}

TEST(Standin, UpdateRequestsAreDecryptedAndRecorded) {
  Standin standin({"--update", "offer-relative", "--flag", "string"});
  ASSERT_TRUE(standin.Ready());
  const std::string cipher = EncryptForStandin("v1.2.3");
  ASSERT_EQ(cipher.size(), 88u);
  const std::string body = R"({"type":"14","version":")" + cipher + "\"}\n";
  const std::string path = "/api/updateVersion/checkTallyxSDKVersion";

  auto offer = standin.Update().Post(path, body, "application/json");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->body,
            R"({"data":{"url":"/files/stock-relay.jar","version":"2.0.0"},"flag":"1"})");

  standin.Control("/control/update", "scenario=offer&flag=number&offer-version=9");
  auto absolute =
      standin.Update().Post(path, R"({"type":"14","version":"not base64!"})", "application/json");
  ASSERT_TRUE(absolute);
  Json::Value answer = ParseJson(absolute->body);
  EXPECT_TRUE(answer["flag"].isInt());
  EXPECT_EQ(answer["data"]["url"].asString(),
            "http://127.0.0.1:" + std::to_string(standin.UpdatePort()) + "/files/stock-relay.jar");

  Json::Value records = standin.GetJson("/control/requests");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0]["decrypted"].asBool());
  EXPECT_EQ(records[0]["version"].asString(), "v1.2.3");
  EXPECT_EQ(records[0]["body"].asString(), body);
  EXPECT_EQ(records[0]["headers"]["Content-Length"].asString(), std::to_string(body.size()));
  EXPECT_EQ(records[0]["headers"]["Content-Type"].asString(), "application/json");
  int contentTypes = 0;
  for (const auto& line : records[0]["headerLines"])
    contentTypes += line.asString().starts_with("Content-Type:");
  EXPECT_EQ(contentTypes, 1);
  EXPECT_FALSE(records[1]["decrypted"].asBool());
  EXPECT_FALSE(records[1]["error"].asString().empty());
}

// An Ed25519 key pair made here: the private half in a PEM file for the
// stand-in, the public half as a build is given it.
struct JarSigningKeyFile {
  explicit JarSigningKeyFile(const TempDir& dir) : path((dir / "jar-signing.pem").string()) {
    if (key.WritePrivatePem(path)) publicBase64 = key.PublicBase64();
  }
  testing_support::Ed25519Key key;
  std::string path;
  std::string publicBase64;
};

// What the program would conclude of the offer the stand-in makes now, with
// the key built in, and whether the JAR it then serves is the one offered.
struct Verdict {
  update::OfferFault fault = update::OfferFault::None;
  bool servedAsOffered = false;
};

Verdict VerdictOnOffer(const Standin& standin, const std::string& publicKey) {
  const std::string base = "http://127.0.0.1:" + std::to_string(standin.UpdatePort());
  auto answer =
      standin.Update().Post("/api/updateVersion/checkTallyxSDKVersion", "{}", "application/json");
  EXPECT_TRUE(answer);
  if (!answer) return {};
  const update::UpdateSettings settings{base, publicKey};
  update::UpdateOffer offer;
  update::ReadUpdateResponse(answer->body, settings, offer);
  EXPECT_EQ(offer.downloadUrl, base + "/files/stock-relay.jar") << answer->body;
  auto jar = standin.Update().Get("/files/stock-relay.jar");
  EXPECT_TRUE(jar && jar->status == 200);
  if (!jar) return {};
  const update::OfferCheck check = update::CheckOffer(settings, offer, std::nullopt);
  return {check.fault, static_cast<std::int64_t>(jar->body.size()) == check.expected.size &&
                           testing_support::Sha256Hex(jar->body) == check.expected.sha256};
}

TEST(Standin, WithAKeyOffersCarryASignatureThatVerifies) {
  TempDir dir;
  const JarSigningKeyFile key(dir);
  ASSERT_EQ(key.publicBase64.size(), 44u);
  Standin standin({"--update", "offer", "--jar-signing-key", key.path, "--jar-size", "300000"});
  ASSERT_TRUE(standin.Ready());
  using update::OfferFault;
  const struct {
    const char* control;  // applied on top of the start
    Verdict expected;
  } cases[] = {
      {"signature=valid", {OfferFault::None, true}},
      // Another file gets a signature of its own.
      {"jar-size=200000&revision=2", {OfferFault::None, true}},
      {"offer-version=v3.0.1", {OfferFault::None, true}},
      {"signature=omit", {OfferFault::NoSignature, true}},
      {"signature=empty", {OfferFault::NoSignature, true}},
      {"signature=not-base64", {OfferFault::BadSignature, true}},
      {"signature=short", {OfferFault::BadSignature, true}},
      {"signature=other-key", {OfferFault::WrongSignature, true}},
      {"signature=other-hash", {OfferFault::WrongSignature, true}},
      {"signature=other-size", {OfferFault::WrongSignature, true}},
      {"signature=other-version", {OfferFault::WrongSignature, true}},
      {"signature=old-format", {OfferFault::WrongSignature, true}},
      {"signature=text&signature-text=QQ==", {OfferFault::BadSignature, true}},
      // A valid offer of another JAR than the one served.
      {"signature=other-jar", {OfferFault::None, false}},
      // The bytes on the way are not the bytes signed.
      {"signature=valid&download=flip-byte&drop-after=1000", {OfferFault::None, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    standin.Control("/control", c.control);
    const Verdict got = VerdictOnOffer(standin, key.publicBase64);
    EXPECT_EQ(got.fault, c.expected.fault);
    EXPECT_EQ(got.servedAsOffered, c.expected.servedAsOffered);
  }
}

TEST(Standin, WithoutAKeyOffersCarryNoSignature) {
  Standin standin({"--update", "offer"});
  ASSERT_TRUE(standin.Ready());
  for (const char* scenario : {"valid", "short", "other-hash", "other-size", "old-format"}) {
    SCOPED_TRACE(scenario);
    standin.Control("/control/signature", std::string("scenario=") + scenario);
    auto answer =
        standin.Update().Post("/api/updateVersion/checkTallyxSDKVersion", "{}", "application/json");
    ASSERT_TRUE(answer);
    const Json::Value offer = ParseJson(answer->body);
    EXPECT_EQ(offer["flag"].asInt(), 1);
    EXPECT_FALSE(offer["data"].isMember("signature")) << answer->body;
    EXPECT_FALSE(offer["data"].isMember("size")) << answer->body;
    EXPECT_FALSE(offer["data"].isMember("sha256")) << answer->body;
  }
}

TEST(Standin, AJarSigningKeyThatIsNotEd25519IsRefusedAtStart) {
  TempDir dir;
  const std::string rsa = std::string(WARDKEEP_SOURCE_DIR) + "/tools/standin/update_key.pem";
  for (const std::string& path : {rsa, (dir / "missing.pem").string()}) {
    SCOPED_TRACE(path);
    Standin standin({"--jar-signing-key", path});
    EXPECT_FALSE(standin.Ready());
  }
}

}  // namespace

#endif  // WARDKEEP_STANDIN

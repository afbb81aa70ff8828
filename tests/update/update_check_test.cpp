#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/tunables.h"
#include "support/local_http_server.h"
#include "test_key.h"
#include "update/update_check.h"
#include "update/update_settings.h"

namespace {

using namespace std::chrono_literals;

using testing_support::LocalHttpServer;

const char kCheckPath[] = "/api/updateVersion/checkTallyxSDKVersion";

std::string NobodyListening() {
  return "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
}

struct Result {
  update::CheckResult check;
  update::UpdateOffer offer;
};

// Runs the whole check against the given platform and update servers.
Result Check(const std::string& platformBase, const std::string& updateBase) {
  Result r;
  r.check = update::CheckUpdate({updateBase, "", platformBase}, r.offer);
  return r;
}

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(privateKey);
    platform.Get("/api/openApi/version", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"data":")" + installed + R"("})", "application/json");
    });
    ASSERT_TRUE(platform.Start());
  }

  // An update server that gives every check the same answer.
  void Answer(LocalHttpServer& server, int status, const std::string& body) {
    server.Post(kCheckPath, [status, body](const httplib::Request&, httplib::Response& res) {
      res.status = status;
      res.set_content(body, "application/json");
    });
    ASSERT_TRUE(server.Start());
  }

  // The version the one request to `server` carried, decrypted.
  std::string SentVersion(const LocalHttpServer& server) {
    const auto requests = server.Requests();
    if (requests.size() != 1) return "<" + std::to_string(requests.size()) + " requests>";
    Json::Value body;
    if (!Json::Reader().parse(requests[0].body, body) || !body["version"].isString()) return {};
    return update_test::DecryptBase64(privateKey.get(), body["version"].asString())
        .value_or("<undecryptable>");
  }

  update_test::PkeyPtr privateKey = update_test::LoadTestPrivateKey();
  std::string installed = "v2.3.4";
  LocalHttpServer platform;
};

TEST_F(UpdateCheck, SendsTheInstalledVersionAndTakesTheOffer) {
  LocalHttpServer server;
  Answer(server, 200, R"({"flag":1,"data":{"version":"v2.4.0","url":"/files/stock-relay.jar"}})");

  const Result r = Check(platform.Url(), server.Url());
  EXPECT_EQ(r.check.kind, update::CheckOutcome::Offered);
  EXPECT_EQ(r.check.text, "");
  EXPECT_EQ(r.offer.downloadUrl, server.Url() + "/files/stock-relay.jar");
  EXPECT_EQ(r.offer.remoteVersion, "v2.4.0");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, kCheckPath);
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].body.size(), 115u);
  EXPECT_EQ(requests[0].body.substr(0, 24), R"({"type":"14","version":")");
  EXPECT_EQ(SentVersion(server), "v2.3.4");
}

TEST_F(UpdateCheck, TheOfferCarriesItsSignature) {
  const std::string sig = std::string(86, 'A') + "==";
  const struct {
    const char* name;
    std::string body;
    bool offered;
    std::string signature;
  } cases[] = {
      {"signed",
       R"({"flag":1,"data":{"version":"v2.4.0","url":"/a.jar","signature":")" + sig + R"("}})",
       true, sig},
      {"unsigned", R"({"flag":1,"data":{"version":"v2.4.0","url":"/a.jar"}})", true, ""},
      {"signed, no offer", R"({"flag":0,"data":{"signature":")" + sig + R"("}})", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LocalHttpServer server;
    Answer(server, 200, c.body);
    const Result r = Check(platform.Url(), server.Url());
    EXPECT_EQ(r.check.kind == update::CheckOutcome::Offered, c.offered);
    EXPECT_EQ(r.offer.downloadUrl, c.offered ? server.Url() + "/a.jar" : "");
    EXPECT_EQ(r.offer.remoteVersion, c.offered ? "v2.4.0" : "");
    EXPECT_EQ(r.offer.signature, c.signature);
    EXPECT_EQ(SentVersion(server), "v2.3.4");
  }
}

// Each way an answer can offer nothing is told apart: only a 200 answer that
// offers nothing is "no update"; an error status is one even when its body
// reads like an offer.
TEST_F(UpdateCheck, AnswersWithoutAnOfferSayWhyAndLeaveTheOutputsEmpty) {
  using update::CheckOutcome;
  struct Case {
    int status;
    std::string body;
    CheckOutcome kind;
    std::string text;
  };
  const std::vector<Case> cases = {
      {200, R"({"flag":0,"data":null})", CheckOutcome::NoOffer, ""},
      {200, R"({"flag":1,"data":{"version":"","url":"http://h/a.jar"}})", CheckOutcome::NoOffer,
       ""},
      {200, "", CheckOutcome::EmptyAnswer, ""},
      {502, "<html><body>Bad Gateway</body></html>", CheckOutcome::HttpError, "502"},
      {404, R"({"flag":1,"data":{"version":"v9"}})", CheckOutcome::HttpError, "404"},
      {200, "<html><body>maintenance</body></html>", CheckOutcome::Unreadable, "不是JSON"},
      {200, "[1]", CheckOutcome::Unreadable, "不是JSON对象"},
      {200, R"({"flag":1,"data":"v9"})", CheckOutcome::Unreadable, "\"data\"不是对象"},
      {200, R"({"flag":1,"data":{"version":"v9","url":"ftp://h/a.jar"}})",
       CheckOutcome::OfferRefused, "下载地址不是http或https: ftp:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.body);
    LocalHttpServer server;
    Answer(server, c.status, c.body);
    const Result r = Check(platform.Url(), server.Url());
    EXPECT_EQ(r.check.kind, c.kind);
    EXPECT_EQ(r.check.text, c.text);
    EXPECT_EQ(r.offer.downloadUrl, "");
    EXPECT_EQ(r.offer.remoteVersion, "");
    EXPECT_EQ(SentVersion(server), "v2.3.4");
  }
}

TEST_F(UpdateCheck, PlatformServiceDownSendsTheZeroVersion) {
  struct Case {
    const char* what;
    std::string platform;
  } cases[] = {
      {"nothing listening", NobodyListening()},
      {"no platform service named", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LocalHttpServer server;
    Answer(server, 200, R"({"flag":0})");
    const Result r = Check(c.platform, server.Url());
    // The platform's fault is no fault of the check: the POST's outcome counts.
    EXPECT_EQ(r.check.kind, update::CheckOutcome::NoOffer);
    EXPECT_EQ(r.check.text, "");
    EXPECT_EQ(SentVersion(server), "v0.0.0");
  }
}

// The program asks the platform service where every installation has it and
// leaves the update server's certificate to the system's store: an authority
// of a test's own is never among its settings.
TEST(BuiltInUpdateSettings, AskTheLocalPlatformAndTrustTheSystemsStore) {
  const update::UpdateSettings settings = update::BuiltInUpdateSettings();
  EXPECT_EQ(settings.platformUrl, "http://127.0.0.1:2405");
  EXPECT_EQ(settings.transfer.caBundle, "");
}

TEST_F(UpdateCheck, UpdateServerDownIsNoOfferWithTheTransportError) {
  const Result r = Check(platform.Url(), NobodyListening());
  EXPECT_EQ(r.check.kind, update::CheckOutcome::TransportFailed);
  EXPECT_EQ(r.check.text, "Couldn't connect to server");
  EXPECT_EQ(r.offer.downloadUrl, "");
  EXPECT_EQ(r.offer.remoteVersion, "");
}

TEST_F(UpdateCheck, StalledUpdateServerTimesOut) {
  tunable::ScopedTunable shorter(comm::http::tunables::postTimeout, 1s);
  LocalHttpServer server;
  server.Post(kCheckPath, [&server](const httplib::Request&, httplib::Response& res) {
    server.WaitUntilStopping(std::chrono::seconds(10));
    res.set_content(R"({"flag":1,"data":{"version":"v9","url":"/a.jar"}})", "application/json");
  });
  ASSERT_TRUE(server.Start());

  const Result r = Check(platform.Url(), server.Url());
  EXPECT_EQ(r.check.kind, update::CheckOutcome::TransportFailed);
  EXPECT_EQ(r.check.text, "Timeout was reached");
  EXPECT_EQ(r.offer.downloadUrl, "");
}

}  // namespace

#include <gtest/gtest.h>

#include <chrono>

#include <mutex>

#include "http/tunables.h"
#include "platform_client/service_monitor.h"
#include "platform_client/tunables.h"
#include "platform_client/version_query.h"
#include "support/local_http_server.h"

namespace {

using namespace std::chrono_literals;

using testing_support::LocalHttpServer;

const std::wstring kPrefix = L"Vellun价签服务异常，请联系管理员：";

// A platform service that answers both endpoints with one status and body.
class FakePlatform {
 public:
  FakePlatform(int status, std::string body, std::string type = "application/json") {
    auto answer = [status, body, type](const httplib::Request&, httplib::Response& res) {
      res.status = status;
      res.set_content(body, type);
    };
    m_server.Get("/", answer);
    m_server.Get("/api/openApi/version", answer);
    EXPECT_TRUE(m_server.Start());
  }
  std::string BaseUrl() const { return m_server.Url(); }
  LocalHttpServer& Server() { return m_server; }

 private:
  LocalHttpServer m_server;
};

struct Checked {
  bool healthy;
  std::wstring message;
  std::wstring erpName;
  std::string version;
};

Checked AskBoth(const std::string& baseUrl) {
  ScopedTunable at(platform_client::tunables::baseUrl, baseUrl);
  Checked result;
  ServiceMonitor monitor;
  result.message = L"before";
  result.healthy = monitor.CheckHealth(result.message);
  result.erpName = monitor.GetErpName();
  result.version = platform_client::QueryInstalledVersion();
  return result;
}

TEST(PlatformTransport, NothingListening) {
  auto got = AskBoth("http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()));
  EXPECT_FALSE(got.healthy);
  EXPECT_EQ(got.message, kPrefix + L"Couldn't connect to server");
  EXPECT_EQ(got.version, "v0.0.0");
}

TEST(PlatformTransport, EmptyBodyIsAFaultWithThePrefixAlone) {
  FakePlatform platform(200, "");
  auto got = AskBoth(platform.BaseUrl());
  EXPECT_FALSE(got.healthy);
  EXPECT_EQ(got.message, kPrefix);
  EXPECT_EQ(got.version, "v0.0.0");
}

TEST(PlatformTransport, HtmlErrorPageCountsAsHealthy) {
  FakePlatform platform(500, "<html><body>Internal Server Error</body></html>", "text/html");
  auto got = AskBoth(platform.BaseUrl());
  EXPECT_TRUE(got.healthy);
  EXPECT_EQ(got.message, L"before");
  EXPECT_EQ(got.version, "v0.0.0");

  auto requests = platform.Server().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/");
  EXPECT_EQ(requests[1].target, "/api/openApi/version");
}

TEST(PlatformTransport, ErrorStatusWithJsonIsJudgedByTheBody) {
  FakePlatform platform(503, R"({"exceptionDto":{"ok":false,"expContent":"Redis down"},
                                 "configDto":[{"erpName":"SAP"}],"data":"v1.4.0"})");
  auto got = AskBoth(platform.BaseUrl());
  EXPECT_FALSE(got.healthy);
  EXPECT_EQ(got.message, L"Redis down");
  EXPECT_EQ(got.erpName, L"SAP");
  EXPECT_EQ(got.version, "v1.4.0");
}

TEST(PlatformTransport, TimeOutAfterTheStatusLineNamesTheCode) {
  ScopedTunable shorter(comm::http::tunables::getTimeout, 1s);
  LocalHttpServer server;
  server.Get("/", [&server](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "application/json",
                             [&server](size_t, size_t, httplib::DataSink& sink) {
                               sink.write("{", 1);
                               server.WaitUntilStopping(std::chrono::seconds(10));
                               return false;
                             });
  });
  ASSERT_TRUE(server.Start());
  ScopedTunable at(platform_client::tunables::baseUrl, server.Url());

  ServiceMonitor monitor;
  std::wstring message;
  EXPECT_FALSE(monitor.CheckHealth(message));
  EXPECT_EQ(message, kPrefix + L"Timeout was reached (HTTP code: 200)");
}

}  // namespace

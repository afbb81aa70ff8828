#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>

#include "http/tunables.h"
#include "platform_client/service_monitor.h"
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
  Checked result;
  platform_client::ServiceMonitor monitor;
  result.message = L"before";
  result.healthy = monitor.CheckHealth(baseUrl, result.message);
  result.erpName = monitor.GetErpName();
  result.version = platform_client::QueryInstalledVersion(baseUrl);
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

// A report listing stores, exactly `size` bytes long. Only the last store
// names the ERP system; the version endpoint finds "data" in it too.
std::string Report(bool ok, std::size_t size) {
  const std::string head = R"({"data":"v2.0","exceptionDto":{"ok":)" +
                           std::string(ok ? "true" : "false") +
                           R"(,"expContent":"库存同步失败"},"configDto":[)";
  const std::string tail = R"({"erpName":"SAP-S4"}]})";
  std::string body = head;
  for (int i = 0;; ++i) {
    const std::string store = R"({"storeId":)" + std::to_string(i) +
                              R"(,"erpName":"","address":"Hauptstraße )" + std::to_string(i) +
                              R"("},)";
    if (body.size() + store.size() + tail.size() > size) break;
    body += store;
  }
  body += tail;
  body.insert(body.size() - 1, size - body.size(), ' ');
  return body;
}

TEST(PlatformTransport, HealthReportsAreReadUpToOneMebibyte) {
  constexpr std::size_t kKiB = 1024;
  const std::wstring tooLong = kPrefix + L"健康报告过大（超过1 MiB），未读取";
  const std::wstring tooMany = kPrefix + L"健康报告过大（超过196608个JSON值），未读取";
  // The version answer keeps the limit every other answer has: past it, the
  // installed version is unknown.
  struct Case {
    const char* what;
    std::string body;
    bool healthy;
    std::wstring message;
    std::wstring erpName;
    std::string version;
  } cases[] = {
      {"255 KiB healthy", Report(true, 255 * kKiB), true, L"before", L"", "v2.0"},
      {"257 KiB healthy", Report(true, 257 * kKiB), true, L"before", L"", "v0.0.0"},
      {"1 MiB healthy", Report(true, 1024 * kKiB), true, L"before", L"", "v0.0.0"},
      {"1 MiB faulty", Report(false, 1024 * kKiB), false, L"库存同步失败", L"SAP-S4", "v0.0.0"},
      {"1 MiB and a byte, healthy", Report(true, 1024 * kKiB + 1), false, tooLong, L"", "v0.0.0"},
      {"1 MiB and a byte, faulty", Report(false, 1024 * kKiB + 1), false, tooLong, L"", "v0.0.0"},
      // Within the length, but more values than the parse may build.
      {"600 KiB of single digits",
       [] {
         std::string body = R"({"exceptionDto":{"ok":true},"x":[0)";
         while (body.size() < 600 * kKiB) body += ",0";
         return body + "]}";
       }(),
       false, tooMany, L"", "v0.0.0"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform(200, c.body);
    const Checked got = AskBoth(platform.BaseUrl());
    EXPECT_EQ(got.healthy, c.healthy);
    EXPECT_EQ(got.message, c.message);
    EXPECT_EQ(got.erpName, c.erpName);
    EXPECT_EQ(got.version, c.version);
  }
}

TEST(PlatformTransport, TimeOutAfterTheStatusLineNamesTheCode) {
  tunable::ScopedTunable shorter(comm::http::tunables::getTimeout, 1s);
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

  platform_client::ServiceMonitor monitor;
  std::wstring message;
  EXPECT_FALSE(monitor.CheckHealth(server.Url(), message));
  EXPECT_EQ(message, kPrefix + L"Timeout was reached (HTTP code: 200)");
}

}  // namespace

#include "http/http_session.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>

#include "http/tunables.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

using comm::http::ExchangeResult;
using comm::http::ExchangeStatus;
using comm::http::HttpSession;
using testing_support::LocalHttpServer;

void Reply(httplib::Response& res, const std::string& body, int status = 200) {
  res.status = status;
  res.set_content(body, "text/plain");
}

// Sends the status line and `partial` of a longer body, then stalls until the
// test is over.
httplib::Server::Handler StallAfter(LocalHttpServer& server, std::string partial) {
  return [&server, partial](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(partial.size() + 100, "text/plain",
                             [&server, partial](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset == 0) sink.write(partial.data(), partial.size());
                               server.WaitUntilStopping(std::chrono::seconds(10));
                               return false;
                             });
  };
}

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& dir)
      : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDirectory() { std::filesystem::current_path(m_previous); }

 private:
  std::filesystem::path m_previous;
};

TEST(HttpSessionGet, JoinsTheQueryOntoTheUrl) {
  LocalHttpServer server;
  server.Get("/x", [](const httplib::Request&, httplib::Response& res) { Reply(res, "x"); });
  ASSERT_TRUE(server.Start());

  struct Case {
    std::string path, query, target;
  } cases[] = {
      {"/x", "", "/x"},
      {"/x", "a=1", "/x?a=1"},
      {"/x?", "a=1", "/x?a=1"},
      {"/x?b=2", "a=1", "/x?b=2&a=1"},
      {"/x?b=2", "a=1&c=3", "/x?b=2&a=1&c=3"},
  };
  for (const Case& c : cases) {
    const ExchangeResult got = HttpSession(server.Url(c.path)).Get(c.query);
    EXPECT_TRUE(got.Answered()) << c.path << " + " << c.query;
    EXPECT_EQ(got.text, "") << c.path << " + " << c.query;
    EXPECT_EQ(got.body, "x") << c.path << " + " << c.query;
  }
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), std::size(cases));
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].method, "GET");
    EXPECT_EQ(requests[i].target, cases[i].target) << cases[i].path << " + " << cases[i].query;
  }
}

TEST(HttpSessionGet, ErrorStatusIsNotAFailure) {
  LocalHttpServer server;
  server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    Reply(res, "no such page", 404);
  });
  server.Get("/broken", [](const httplib::Request&, httplib::Response& res) {
    Reply(res, "<html><body>Internal error</body></html>", 500);
  });
  ASSERT_TRUE(server.Start());

  struct Case {
    const char* path;
    long status;
    std::string body;
  } cases[] = {
      {"/missing", 404, "no such page"},
      {"/broken", 500, "<html><body>Internal error</body></html>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const ExchangeResult got = HttpSession(server.Url(c.path)).Get("");
    EXPECT_EQ(got.status, ExchangeStatus::Answered);
    EXPECT_EQ(got.httpStatus, c.status);
    EXPECT_EQ(got.body, c.body);
    EXPECT_EQ(got.text, "");
  }
}

TEST(HttpSession, NothingListening) {
  std::string url = "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
  for (const ExchangeResult& got :
       {HttpSession(url + "/").Get(""), HttpSession(url + "/").Post("{}")}) {
    EXPECT_EQ(got.status, ExchangeStatus::Network);
    EXPECT_EQ(got.httpStatus, 0);
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.text, "Couldn't connect to server");
  }
}

TEST(HttpSessionGet, TimeOutAfterTheStatusLineKeepsThePartialBodyAndTheCode) {
  tunable::ScopedTunable shorter(comm::http::tunables::getTimeout, 1s);
  LocalHttpServer server;
  server.Get("/slow", StallAfter(server, "first bytes"));
  ASSERT_TRUE(server.Start());

  const ExchangeResult got = HttpSession(server.Url("/slow")).Get("");
  EXPECT_EQ(got.status, ExchangeStatus::TimedOut);
  EXPECT_EQ(got.httpStatus, 200);
  EXPECT_EQ(got.text, "Timeout was reached (HTTP code: 200)");
  EXPECT_EQ(got.body, "first bytes");
}

TEST(HttpSessionPost, TimeOutNeverCarriesTheCode) {
  tunable::ScopedTunable shorter(comm::http::tunables::postTimeout, 1s);
  LocalHttpServer server;
  server.Post("/slow", StallAfter(server, "first bytes"));
  ASSERT_TRUE(server.Start());

  const ExchangeResult got = HttpSession(server.Url("/slow")).Post("{}");
  EXPECT_EQ(got.status, ExchangeStatus::TimedOut);
  EXPECT_EQ(got.httpStatus, 200);
  EXPECT_EQ(got.text, "Timeout was reached");
  EXPECT_EQ(got.body, "first bytes");
}

TEST(HttpSessionPost, SendsTheBodyAsJsonWithItsLength) {
  LocalHttpServer server;
  server.Post("/api", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"flag":true})", "application/json");
  });
  ASSERT_TRUE(server.Start());

  const std::string body = R"({"version":"v1.2.3","sign":"abcdefghijkl"})";
  ASSERT_EQ(body.size(), 42u);
  const ExchangeResult got = HttpSession(server.Url("/api")).Post(body);
  EXPECT_TRUE(got.Answered());
  EXPECT_EQ(got.httpStatus, 200);
  EXPECT_EQ(got.body, R"({"flag":true})");
  EXPECT_EQ(got.text, "");

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, body);
  // Ours replace libcurl's own lines rather than adding to them.
  for (const char* name : {"Accept", "Content-Type", "Content-Length"}) {
    EXPECT_EQ(request.headers.count(name), 1u) << name;
  }
  EXPECT_EQ(request.Header("Accept"), "application/json");
  EXPECT_EQ(request.Header("Content-Type"), "application/json");
  EXPECT_EQ(request.Header("Content-Length"), "42");
}

TEST(HttpSession, RedirectsAreFollowedOnlyForPost) {
  LocalHttpServer server;
  auto redirect = [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/to", 302);
    res.set_content("moved", "text/plain");
  };
  server.Get("/from", redirect);
  server.Post("/from", redirect);
  server.Get("/to", [](const httplib::Request&, httplib::Response& res) { Reply(res, "arrived"); });
  ASSERT_TRUE(server.Start());

  const ExchangeResult got = HttpSession(server.Url("/from")).Get("");
  EXPECT_TRUE(got.Answered());
  EXPECT_EQ(got.httpStatus, 302);
  EXPECT_EQ(got.body, "moved");
  ASSERT_EQ(server.Requests().size(), 1u);

  const ExchangeResult posted = HttpSession(server.Url("/from")).Post("{}");
  EXPECT_TRUE(posted.Answered());
  EXPECT_EQ(posted.httpStatus, 200);
  EXPECT_EQ(posted.body, "arrived");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].path, "/to");
}

TEST(HttpSession, ReadsTheCookieFileAndNeverWritesIt) {
  testing_support::TempDir dir;
  const std::string cookies =
      "# Netscape HTTP Cookie File\n"
      "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tfrom-file\n";
  testing_support::WriteFile(dir / "httpclient.cookies", cookies);
  CurrentDirectory inside(dir.path());

  LocalHttpServer server;
  auto answer = [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Set-Cookie", "session=from-server; Path=/");
    Reply(res, "ok");
  };
  server.Get("/", answer);
  server.Post("/", answer);
  ASSERT_TRUE(server.Start());

  EXPECT_EQ(HttpSession(server.Url("/")).Get("").body, "ok");
  EXPECT_EQ(HttpSession(server.Url("/")).Post("{}").body, "ok");

  // A GET starts from libcurl's defaults, which drop the cookie file.
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].headers.count("Cookie"));
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].Header("Cookie"), "session=from-file");
  EXPECT_EQ(testing_support::ReadFile(dir / "httpclient.cookies"), cookies);
}

TEST(HttpSession, BodyLargerThanTheLimitEndsTheTransfer) {
  tunable::ScopedTunable smaller(comm::http::tunables::responseSizeLimit, 1000);
  LocalHttpServer server;
  server.Get(R"(/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    Reply(res, std::string(std::stoul(req.matches[1]), 'x'));
  });
  server.Post(R"(/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    Reply(res, std::string(std::stoul(req.matches[1]), 'x'));
  });
  ASSERT_TRUE(server.Start());

  const std::string writeError = curl_easy_strerror(CURLE_WRITE_ERROR);
  struct Case {
    size_t size;
    bool fits;
  } cases[] = {{999, true}, {1000, true}, {1001, false}, {200000, false}};
  for (const Case& c : cases) {
    std::string path = "/" + std::to_string(c.size);
    SCOPED_TRACE(c.size);
    const ExchangeResult got = HttpSession(server.Url(path)).Get("");
    const ExchangeResult posted = HttpSession(server.Url(path)).Post("{}");
    const ExchangeStatus expected = c.fits ? ExchangeStatus::Answered : ExchangeStatus::TooLarge;
    EXPECT_EQ(got.status, expected);
    EXPECT_EQ(posted.status, expected);
    if (c.fits) {
      EXPECT_EQ(got.text, "");
      EXPECT_EQ(got.body.size(), c.size);
      EXPECT_EQ(posted.text, "");
      EXPECT_EQ(posted.body.size(), c.size);
    } else {
      EXPECT_EQ(got.text, writeError + " (HTTP code: 200)");
      EXPECT_LE(got.body.size(), 1000u);
      EXPECT_EQ(posted.text, writeError);
      EXPECT_LE(posted.body.size(), 1000u);
    }
  }

  // A session's own limit replaces the shared one, larger or smaller.
  struct Own {
    std::size_t limit;
    std::size_t size;
    bool fits;
  } own[] = {{2000, 1500, true}, {2000, 2000, true}, {2000, 2001, false}, {500, 999, false}};
  for (const Own& c : own) {
    HttpSession session(server.Url("/" + std::to_string(c.size)));
    session.SetResponseLimit(c.limit);
    const ExchangeResult got = session.Get("");
    EXPECT_EQ(got.status, c.fits ? ExchangeStatus::Answered : ExchangeStatus::TooLarge) << c.size;
    EXPECT_EQ(got.text.empty(), c.fits) << c.size;
    EXPECT_EQ(got.body.size() == c.size, c.fits) << c.size;
  }
}

}  // namespace

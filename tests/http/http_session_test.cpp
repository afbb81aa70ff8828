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
    std::string error = "stale";
    std::string body = HttpSession(server.Url(c.path)).Get(c.query, error);
    EXPECT_EQ(error, "") << c.path << " + " << c.query;
    EXPECT_EQ(body, "x") << c.path << " + " << c.query;
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

  std::string error;
  EXPECT_EQ(HttpSession(server.Url("/missing")).Get("", error), "no such page");
  EXPECT_EQ(error, "");
  EXPECT_EQ(HttpSession(server.Url("/broken")).Get("", error),
            "<html><body>Internal error</body></html>");
  EXPECT_EQ(error, "");
}

TEST(HttpSession, NothingListening) {
  std::string url = "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
  std::string error;
  EXPECT_EQ(HttpSession(url + "/").Get("", error), "");
  EXPECT_EQ(error, "Couldn't connect to server");
  EXPECT_EQ(HttpSession(url + "/").Post("{}", error), "");
  EXPECT_EQ(error, "Couldn't connect to server");
}

TEST(HttpSessionGet, TimeOutAfterTheStatusLineKeepsThePartialBodyAndTheCode) {
  tunable::ScopedTunable shorter(comm::http::tunables::getTimeout, 1s);
  LocalHttpServer server;
  server.Get("/slow", StallAfter(server, "first bytes"));
  ASSERT_TRUE(server.Start());

  std::string error;
  std::string body = HttpSession(server.Url("/slow")).Get("", error);
  EXPECT_EQ(error, "Timeout was reached (HTTP code: 200)");
  EXPECT_EQ(body, "first bytes");
}

TEST(HttpSessionPost, TimeOutNeverCarriesTheCode) {
  tunable::ScopedTunable shorter(comm::http::tunables::postTimeout, 1s);
  LocalHttpServer server;
  server.Post("/slow", StallAfter(server, "first bytes"));
  ASSERT_TRUE(server.Start());

  std::string error;
  std::string body = HttpSession(server.Url("/slow")).Post("{}", error);
  EXPECT_EQ(error, "Timeout was reached");
  EXPECT_EQ(body, "first bytes");
}

TEST(HttpSessionPost, SendsTheBodyAsJsonWithItsLength) {
  LocalHttpServer server;
  server.Post("/api", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"flag":true})", "application/json");
  });
  ASSERT_TRUE(server.Start());

  const std::string body = R"({"version":"v1.2.3","sign":"abcdefghijkl"})";
  ASSERT_EQ(body.size(), 42u);
  std::string error = "stale";
  EXPECT_EQ(HttpSession(server.Url("/api")).Post(body, error), R"({"flag":true})");
  EXPECT_EQ(error, "");

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

  std::string error;
  EXPECT_EQ(HttpSession(server.Url("/from")).Get("", error), "moved");
  EXPECT_EQ(error, "");
  ASSERT_EQ(server.Requests().size(), 1u);

  EXPECT_EQ(HttpSession(server.Url("/from")).Post("{}", error), "arrived");
  EXPECT_EQ(error, "");
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

  std::string error;
  EXPECT_EQ(HttpSession(server.Url("/")).Get("", error), "ok");
  EXPECT_EQ(error, "");
  EXPECT_EQ(HttpSession(server.Url("/")).Post("{}", error), "ok");
  EXPECT_EQ(error, "");

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
    std::string getError, postError;
    HttpSession getter(server.Url(path));
    HttpSession poster(server.Url(path));
    std::string got = getter.Get("", getError);
    std::string posted = poster.Post("{}", postError);
    EXPECT_EQ(getter.ResponseTooLarge(), !c.fits) << c.size;
    EXPECT_EQ(poster.ResponseTooLarge(), !c.fits) << c.size;
    if (c.fits) {
      EXPECT_EQ(getError, "") << c.size;
      EXPECT_EQ(got.size(), c.size);
      EXPECT_EQ(postError, "") << c.size;
      EXPECT_EQ(posted.size(), c.size);
    } else {
      EXPECT_EQ(getError, writeError + " (HTTP code: 200)") << c.size;
      EXPECT_LE(got.size(), 1000u);
      EXPECT_EQ(postError, writeError) << c.size;
      EXPECT_LE(posted.size(), 1000u);
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
    std::string error;
    const std::string got = session.Get("", error);
    EXPECT_EQ(session.ResponseTooLarge(), !c.fits) << c.size;
    EXPECT_EQ(error.empty(), c.fits) << c.size;
    EXPECT_EQ(got.size() == c.size, c.fits) << c.size;
  }
}

}  // namespace

// Every transfer speaks HTTP or HTTPS only, redirects included: a URL or a
// redirect to any other scheme is refused before anything is connected to,
// which a bare listener on a loopback port observes.
#include "http/transfer_policy.h"

#include <gtest/gtest.h>

#include <chrono>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "http/http_download.h"
#include "http/http_session.h"
#include "http/tunables.h"
#include "http/url_scheme.h"
#include "support/connection_listener.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

using namespace std::chrono_literals;

using comm::http::HttpSession;
using testing_support::ConnectionListener;
using testing_support::LocalHttpServer;
using testing_support::TempDir;

const std::string kMarker = "nothing outside HTTP may read this";

struct Outcome {
  std::string body;
  std::string error;  // the session's text, or the download's
};

Outcome Fetch(const std::string& transfer, const std::string& url, const TempDir& dir) {
  Outcome out;
  if (transfer == "GET" || transfer == "POST") {
    comm::http::ExchangeResult got =
        transfer == "GET" ? HttpSession(url).Get("") : HttpSession(url).Post("{}");
    out.body = std::move(got.body);
    out.error = std::move(got.text);
  } else {
    const std::filesystem::path target = dir / "download.bin";
    comm::http::HttpDownload download(url, testing_support::WindowsFormPath(target));
    out.error = download.Perform().text;
    std::error_code ec;
    out.body = std::filesystem::exists(target, ec) ? testing_support::ReadFile(target) : "";
  }
  return out;
}

TEST(TransferPolicy, OnlyHttpAndHttpsAreEverUsed) {
  tunable::ScopedTunable oneAttempt(comm::http::tunables::downloadAttempts, 1);
  tunable::ScopedTunable shortGet(comm::http::tunables::getTimeout, 1s);
  tunable::ScopedTunable shortPost(comm::http::tunables::postTimeout, 1s);
  tunable::ScopedTunable shortDownload(comm::http::tunables::downloadTimeout, 1s);
  TempDir dir;
  testing_support::WriteFile(dir / "secret.txt", kMarker);
  std::string file = (dir / "secret.txt").generic_string();
  file = "file://" + std::string(file.front() == '/' ? "" : "/") + file;

  ConnectionListener listener;
  ASSERT_GT(listener.Port(), 0);
  const std::string at = "127.0.0.1:" + std::to_string(listener.Port());
  struct Target {
    const char* scheme;
    std::string url;
  };
  const std::vector<Target> targets = {
      {"gopher", "gopher://" + at + "/_FLUSHALL%0D%0A?http"},
      {"ftp", "ftp://" + at + "/stock-relay.jar"},
      {"file", file},
      {"dict", "dict://" + at + "/d:http"},
      {"telnet", "telnet://" + at},
      {"guessed from the host name", "ftp." + at + "/x"},
  };

  LocalHttpServer server;
  std::vector<std::string> locations;
  for (const Target& t : targets) locations.push_back(t.url);
  auto redirect = [&locations](const httplib::Request& req, httplib::Response& res) {
    res.set_redirect(locations.at(std::stoul(req.matches[1])), 302);
    res.set_content("moved", "text/plain");
  };
  server.Get(R"(/to/(\d+))", redirect);
  server.Post(R"(/to/(\d+))", redirect);
  ASSERT_TRUE(server.Start());

  const std::string refused = curl_easy_strerror(CURLE_UNSUPPORTED_PROTOCOL);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    for (const std::string transfer : {"GET", "POST", "download"}) {
      SCOPED_TRACE(std::string(targets[i].scheme) + " " + transfer);
      Outcome direct = Fetch(transfer, targets[i].url, dir);
      EXPECT_EQ(direct.error.substr(0, refused.size()), refused);
      EXPECT_EQ(direct.body, "");
      Outcome redirected = Fetch(transfer, server.Url("/to/" + std::to_string(i)), dir);
      // A GET never follows; the others refuse to. A libcurl built without
      // a scheme (HTTP only on Windows) cannot even parse such a location.
      if (transfer == "GET") {
        EXPECT_EQ(redirected.error, "");
      } else if (redirected.error != refused) {
        EXPECT_EQ(redirected.error, curl_easy_strerror(CURLE_URL_MALFORMAT));
      }
      EXPECT_EQ(redirected.body.find(kMarker), std::string::npos);
      EXPECT_EQ(listener.Connections(), 0);
    }
  }
  EXPECT_EQ(server.Requests().size(), targets.size() * 3);

  // The listener does see a transfer that is allowed to reach it.
  const comm::http::ExchangeResult reached = HttpSession("http://" + at + "/").Get("");
  EXPECT_GE(listener.Connections(), 1) << reached.text;
}

TEST(TransferPolicy, APostFollowsOnlyAFewRedirects) {
  LocalHttpServer server;
  server.Post(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const int hop = std::stoi(req.matches[1]);
    if (hop == 0) {
      res.set_content("arrived", "text/plain");
    } else {
      res.set_redirect("/hop/" + std::to_string(hop - 1), 307);
    }
  });
  ASSERT_TRUE(server.Start());
  const long limit = comm::http::tunables::maxRedirects.Get();
  const comm::http::ExchangeResult within =
      HttpSession(server.Url("/hop/" + std::to_string(limit))).Post("{}");
  EXPECT_EQ(within.body, "arrived");
  EXPECT_EQ(within.text, "");
  const std::size_t before = server.Requests().size();
  const comm::http::ExchangeResult past =
      HttpSession(server.Url("/hop/" + std::to_string(limit + 1))).Post("{}");
  EXPECT_EQ(past.status, comm::http::ExchangeStatus::Network);
  EXPECT_EQ(past.text, curl_easy_strerror(CURLE_TOO_MANY_REDIRECTS));
  EXPECT_EQ(server.Requests().size() - before, static_cast<std::size_t>(limit + 1));
}

TEST(TransferPolicy, TellsHttpUrlsApart) {
  struct Case {
    const char* url;
    bool http, https;
  } cases[] = {
      {"http://h/a", true, false},
      {"https://h/a", true, true},
      {"HTTPS://h/a", true, true},
      {"Http://h", true, false},
      {"http:/h", false, false},
      {"httpx://h", false, false},
      {"gopher://h/?http", false, false},
      {"/files/http.jar", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(comm::http::IsHttpUrl(c.url), c.http) << c.url;
    EXPECT_EQ(comm::http::IsHttpsUrl(c.url), c.https) << c.url;
  }
}

// Every option is one the transfer needs: one libcurl refuses (here a
// negative limit) fails the transfer as it would fail for any other reason,
// and nothing is sent.
TEST(TransferOptions, ARefusedOptionFailsTheTransferBeforeItStarts) {
  LocalHttpServer server;
  auto answer = [](const httplib::Request&, httplib::Response& res) {
    res.set_content("answer", "text/plain");
  };
  server.Get("/file", answer);
  server.Post("/file", answer);
  ASSERT_TRUE(server.Start());
  TempDir dir;
  const std::string refused = curl_easy_strerror(CURLE_BAD_FUNCTION_ARGUMENT);
  const std::string url = server.Url("/file");
  namespace tunables = comm::http::tunables;
  // The transfer, fetched while `tunable` holds `value`.
  auto refusing = [&](auto& tunable, auto value) {
    return [&tunable, value, &url, &dir](const char* transfer) {
      tunable::ScopedTunable negative(tunable, value);
      return Fetch(transfer, url, dir);
    };
  };
  struct Case {
    const char* transfer;
    const char* option;
    std::function<Outcome(const char* transfer)> fetchRefused;
  } cases[] = {
      {"GET", "its time limit", refusing(tunables::getTimeout, -1s)},
      {"POST", "the session's redirect limit", refusing(tunables::maxRedirects, -2L)},
      {"POST", "its time limit", refusing(tunables::postTimeout, -1s)},
      {"download", "the connect limit", refusing(tunables::downloadConnectTimeout, -1s)},
      {"download", "the quiet-line limit", refusing(tunables::downloadLowSpeedTime, -1s)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.transfer) + " with " + c.option + " refused");
    const std::size_t before = server.Requests().size();
    const Outcome out = c.fetchRefused(c.transfer);
    EXPECT_EQ(out.error, refused);
    EXPECT_EQ(out.body, "");
    EXPECT_EQ(server.Requests().size(), before);
    // The same transfer with the option accepted does reach the server.
    EXPECT_EQ(Fetch(c.transfer, url, dir).body, "answer");
  }
}

}  // namespace

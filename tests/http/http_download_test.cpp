#include "http/http_download.h"

#include <gtest/gtest.h>

#include <chrono>

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

#include "http/tunables.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

using namespace std::chrono_literals;

using comm::http::HttpDownload;
using testing_support::LocalHttpServer;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WindowsFormPath;
using testing_support::WriteFile;

// Every byte value, line ends included, so any translation or shift shows.
std::string SourceBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 23);
  }
  return bytes;
}

// Serves `content` at /file with byte ranges and an entity tag, in small
// writes. Each response may be cut off after a number of bytes (the socket is
// closed), and the server may pretend not to know ranges or versions.
class FileSource {
 public:
  explicit FileSource(std::string content) : m_content(std::move(content)) {}

  void DropResponsesAfter(std::deque<std::size_t> byteCounts) { m_drops = std::move(byteCounts); }
  void IgnoreRanges() { m_ignoreRanges = true; }
  void OmitValidators() { m_omitValidators = true; }

  httplib::Server::Handler Handler() {
    return [this](const httplib::Request& req, httplib::Response& res) {
      // The library answers a Range request by itself; forgetting the parsed
      // ranges is the only way to make it send the whole file with 200.
      if (m_ignoreRanges) const_cast<httplib::Request&>(req).ranges.clear();
      if (!m_omitValidators) res.set_header("ETag", "\"v1\"");
      std::optional<std::size_t> drop;
      {
        std::lock_guard lock(m_mutex);
        if (!m_drops.empty()) {
          drop = m_drops.front();
          m_drops.pop_front();
        }
      }
      auto sent = std::make_shared<std::size_t>(0);
      res.set_content_provider(
          m_content.size(), "application/java-archive",
          [this, drop, sent](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::size_t n = std::min<std::size_t>(length, 4096);
            if (drop) n = std::min(n, *drop - *sent);
            if (n == 0) return false;
            sink.write(m_content.data() + offset, n);
            *sent += n;
            return true;
          });
    };
  }

 private:
  std::string m_content;
  bool m_ignoreRanges = false;
  bool m_omitValidators = false;
  std::mutex m_mutex;
  std::deque<std::size_t> m_drops;
};

struct Observed : comm::http::DownloadObserver {
  void OnProgress(double total, double now) override {
    progress.push_back({total, now});
    if (abortOnProgress) download->RequestAbort();
    if (failOnProgress) failOnProgress();
  }
  void OnError(CURLcode code) override {
    errors.push_back(code);
    if (!watched.empty()) onDiskAtErrors.push_back(ReadFile(watched));
    if (abortOnError) download->RequestAbort();
  }

  HttpDownload* download = nullptr;
  bool abortOnProgress = false;
  std::function<void()> failOnProgress;  // called from libcurl's progress callback
  bool abortOnError = false;
  std::vector<std::pair<double, double>> progress;
  std::vector<CURLcode> errors;
  std::filesystem::path watched;  // read back at every failed attempt
  std::vector<std::string> onDiskAtErrors;
};

std::vector<std::string> RangesAsked(const LocalHttpServer& server) {
  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) ranges.push_back(request.Header("Range"));
  return ranges;
}

class HttpDownloadTest : public ::testing::Test {
 protected:
  std::filesystem::path Target() const { return m_dir / "stock-relay.jar"; }

  CURLcode Download(const std::string& url, Observed* observer = nullptr) {
    HttpDownload download(url, WindowsFormPath(Target()));
    if (observer != nullptr) {
      observer->download = &download;
      download.SetObserver(observer);
    }
    return download.Perform();
  }

  TempDir m_dir;
  tunable::ScopedTunable<int> m_attempts{comm::http::tunables::downloadAttempts, 3};
  tunable::ScopedTunable<std::chrono::milliseconds> m_pause{
      comm::http::tunables::downloadRetryPause, 1ms};
  tunable::ScopedTunable<std::chrono::seconds> m_lowSpeed{
      comm::http::tunables::downloadLowSpeedTime, 1s};
  tunable::ScopedTunable<std::chrono::seconds> m_connect{
      comm::http::tunables::downloadConnectTimeout, 10s};
  tunable::ScopedTunable<std::chrono::seconds> m_timeout{comm::http::tunables::downloadTimeout,
                                                         20s};
};

TEST_F(HttpDownloadTest, EndsWithTheSourceBytesHoweverTheTransferGoes) {
  const std::string source = SourceBytes(64 * 1024);
  struct Case {
    const char* name;
    std::size_t alreadyOnDisk;
    std::deque<std::size_t> drops;
    bool ignoreRanges;
    const char* path;
    std::vector<std::string> rangesAsked;
    bool validators = true;
  } cases[] = {
      {"fresh", 0, {}, false, "/file", {""}},
      {"resumed", 1234, {}, false, "/file", {"bytes=1234-"}},
      {"redirected", 1234, {}, false, "/moved", {"bytes=1234-", "bytes=1234-"}},
      {"dropped once", 0, {100}, false, "/file", {"", "bytes=100-"}},
      {"dropped before the body", 0, {0}, false, "/file", {"", ""}},
      {"resumed and dropped",
       1234,
       {1000, 4096},
       false,
       "/file",
       {"bytes=1234-", "bytes=2234-", "bytes=6330-"}},
      {"range ignored", 1234, {}, true, "/file", {"bytes=1234-"}},
      {"dropped, then range ignored", 0, {5000}, true, "/file", {"", "bytes=5000-"}},
      // Nothing names the version of the bytes on disk: they are not continued.
      {"dropped, no validator", 0, {5000}, false, "/file", {"", ""}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Target());
    if (c.alreadyOnDisk > 0) WriteFile(Target(), source.substr(0, c.alreadyOnDisk));
    FileSource files(source);
    files.DropResponsesAfter(c.drops);
    if (c.ignoreRanges) files.IgnoreRanges();
    if (!c.validators) files.OmitValidators();
    LocalHttpServer server;
    server.Get("/file", files.Handler());
    server.Get("/moved",
               [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/file"); });
    ASSERT_TRUE(server.Start());

    Observed observer;
    EXPECT_EQ(Download(server.Url(c.path), &observer), CURLE_OK);
    EXPECT_TRUE(ReadFile(Target()) == source)
        << "file differs, size " << std::filesystem::file_size(Target());
    EXPECT_EQ(RangesAsked(server), c.rangesAsked);
    EXPECT_EQ(observer.errors.size(), c.drops.size());
    ASSERT_FALSE(observer.progress.empty());
    EXPECT_EQ(observer.progress.back(),
              std::make_pair(double(source.size()), double(source.size())));
  }
}

TEST_F(HttpDownloadTest, AnswersThatAreNotTheFileNeverReachIt) {
  const std::string source = SourceBytes(64 * 1024);
  auto status = [](int code, std::string body) -> httplib::Server::Handler {
    return [code, body](const httplib::Request&, httplib::Response& res) {
      res.status = code;
      res.set_content(body, "text/html");
    };
  };
  // Partial content whose range is not the one asked for.
  auto unrangedPartial = [&source](const char* contentRange) -> httplib::Server::Handler {
    return [&source, contentRange](const httplib::Request&, httplib::Response& res) {
      if (*contentRange != '\0') res.set_header("Content-Range", contentRange);
      res.set_chunked_content_provider("application/java-archive",
                                       [&source](std::size_t, httplib::DataSink& sink) {
                                         sink.write(source.data(), source.size());
                                         sink.done();
                                         return true;
                                       });
    };
  };
  struct Case {
    const char* name;
    std::size_t alreadyOnDisk;
    httplib::Server::Handler handler;
    CURLcode expected;
  } cases[] = {
      {"404 page", 0, status(404, "<html>not found</html>"), CURLE_HTTP_RETURNED_ERROR},
      {"500 page on a partial file", 1234, status(500, "<html>oops</html>"),
       CURLE_HTTP_RETURNED_ERROR},
      {"503 without a body", 1234, status(503, ""), CURLE_HTTP_RETURNED_ERROR},
      {"206 without a range", 1234, unrangedPartial(""), CURLE_RANGE_ERROR},
      {"206 from the wrong byte", 1234, unrangedPartial("bytes 0-65535/65536"), CURLE_RANGE_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Target());
    const std::string before = c.alreadyOnDisk > 0 ? source.substr(0, c.alreadyOnDisk) : "";
    if (!before.empty()) WriteFile(Target(), before);
    LocalHttpServer server;
    server.Get("/file", c.handler);
    ASSERT_TRUE(server.Start());

    Observed observer;
    observer.watched = Target();
    EXPECT_EQ(Download(server.Url("/file"), &observer), c.expected);
    // Between attempts the file holds what it held; after the last, nothing.
    EXPECT_EQ(observer.onDiskAtErrors, std::vector<std::string>(2, before));
    EXPECT_FALSE(std::filesystem::exists(Target()));
    EXPECT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(observer.errors, std::vector<CURLcode>(2, c.expected));
    EXPECT_TRUE(observer.progress.empty());
  }
}

TEST_F(HttpDownloadTest, TargetThatCannotBeOpenedFailsWithoutAsking) {
  FileSource files(SourceBytes(100));
  LocalHttpServer server;
  server.Get("/file", files.Handler());
  ASSERT_TRUE(server.Start());
  std::filesystem::create_directory(m_dir / "a-directory");
  const std::wstring targets[] = {
      WindowsFormPath(m_dir / "a-directory"),
      WindowsFormPath(m_dir / "missing-folder" / "stock-relay.jar"),
      L"Q:\\stock-relay.jar",  // a drive nobody mapped
  };
  for (const std::wstring& target : targets) {
    Observed observer;
    HttpDownload download(server.Url("/file"), target);
    download.SetObserver(&observer);
    EXPECT_EQ(download.Perform(), CURLE_WRITE_ERROR);
    EXPECT_TRUE(observer.errors.empty());
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpDownloadTest, FailedWritesFailTheAttempt) {
  // A device that opens for writing and refuses every byte: a full disk.
  const std::filesystem::path full = "/dev/full";
  if (!std::filesystem::exists(full)) GTEST_SKIP() << "no always-full device here";
  FileSource files(SourceBytes(64 * 1024));
  LocalHttpServer server;
  server.Get("/file", files.Handler());
  ASSERT_TRUE(server.Start());

  Observed observer;
  HttpDownload download(server.Url("/file"), WindowsFormPath(full));
  download.SetObserver(&observer);
  EXPECT_EQ(download.Perform(), CURLE_WRITE_ERROR);
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(observer.errors, std::vector<CURLcode>(2, CURLE_WRITE_ERROR));
}

TEST_F(HttpDownloadTest, GivesUpAfterTheLastAttemptWhenNothingListens) {
  const std::string url =
      "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()) + "/file";
  Observed observer;
  EXPECT_EQ(Download(url, &observer), CURLE_COULDNT_CONNECT);
  EXPECT_EQ(observer.errors, std::vector<CURLcode>(2, CURLE_COULDNT_CONNECT));

  Observed aborting;
  aborting.abortOnError = true;
  EXPECT_EQ(Download(url, &aborting), CURLE_ABORTED_BY_CALLBACK);
  EXPECT_EQ(aborting.errors.size(), 1u);
}

// An observer that throws ends the transfer as an abort does: nothing it
// throws unwinds through libcurl.
TEST_F(HttpDownloadTest, AbortDuringTheTransferIsNotRetried) {
  const std::string source = SourceBytes(4 * 1024 * 1024);
  FileSource files(source);
  const struct {
    const char* name;
    bool abort;
    std::function<void()> fail;
  } cases[] = {
      {"abort requested", true, nullptr},
      {"observer throws a standard exception", false, [] { throw std::runtime_error("full"); }},
      {"observer throws something else", false, [] { throw 7; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LocalHttpServer server;
    server.Get("/file", files.Handler());
    ASSERT_TRUE(server.Start());

    Observed observer;
    observer.abortOnProgress = c.abort;
    observer.failOnProgress = c.fail;
    EXPECT_EQ(Download(server.Url("/file"), &observer), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(observer.progress.size(), 1u);
    EXPECT_TRUE(observer.errors.empty());
    EXPECT_FALSE(std::filesystem::exists(Target()));
  }
}

TEST_F(HttpDownloadTest, StalledTransferEndsAndIsRetriedAtOnce) {
  const std::string source = SourceBytes(64 * 1024);
  struct Case {
    const char* name;
    std::size_t sentBeforeStall;
    long timeoutSeconds;  // the quiet-line limit is 1 s throughout
    std::vector<std::string> rangesAsked;
  } cases[] = {
      {"quiet before the body", 0, 20, {"", ""}},
      {"attempt time-out mid-body", 1000, 1, {"", "bytes=1000-"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Target());
    tunable::ScopedTunable timeout(comm::http::tunables::downloadTimeout,
                                   std::chrono::seconds(c.timeoutSeconds));
    // Declared before the server, whose threads use them until it is gone.
    FileSource files(source);
    std::atomic<bool> stalled{false};
    LocalHttpServer server;
    server.Get("/file", [&](const httplib::Request& req, httplib::Response& res) {
      if (stalled.exchange(true)) return files.Handler()(req, res);
      res.set_header("ETag", "\"v1\"");
      res.set_content_provider(source.size(), "application/java-archive",
                               [&](std::size_t, std::size_t, httplib::DataSink& sink) {
                                 sink.write(source.data(), c.sentBeforeStall);
                                 server.WaitUntilStopping(std::chrono::seconds(10));
                                 return false;
                               });
    });
    ASSERT_TRUE(server.Start());

    Observed observer;
    EXPECT_EQ(Download(server.Url("/file"), &observer), CURLE_OK);
    EXPECT_TRUE(ReadFile(Target()) == source);
    EXPECT_EQ(RangesAsked(server), c.rangesAsked);
    EXPECT_TRUE(observer.errors.empty());  // time-outs are retried silently
  }
}

TEST_F(HttpDownloadTest, FilesPastTheSizeLimitAreRefusedAndNotRetried) {
  const std::string source = SourceBytes(256 * 1024);
  tunable::ScopedTunable limit(comm::http::tunables::downloadSizeLimit, 100 * 1024);
  // No length announced: only the bytes themselves can tell.
  auto growing = [&](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/java-archive",
                                     [&](std::size_t offset, httplib::DataSink& sink) {
                                       if (offset >= source.size()) {
                                         sink.done();
                                         return true;
                                       }
                                       sink.write(source.data() + offset, 4096);
                                       return true;
                                     });
  };
  // The rest is small; the whole it belongs to is not.
  auto hugeWhole = [&](const httplib::Request& req, httplib::Response& res) {
    // The answer below is the range; the library must not cut it again.
    const_cast<httplib::Request&>(req).ranges.clear();
    res.status = 206;
    res.set_header("ETag", "\"v1\"");
    res.set_header("Content-Range", "bytes 1234-2233/9223372036854775807");
    res.set_content(source.substr(0, 1000), "application/java-archive");
  };
  struct Case {
    const char* name;
    std::size_t alreadyOnDisk;
    httplib::Server::Handler handler;
  } cases[] = {
      {"body growing past it", 0, growing},
      {"a range of a file past it", 1234, hugeWhole},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Target());
    if (c.alreadyOnDisk > 0) WriteFile(Target(), source.substr(0, c.alreadyOnDisk));
    LocalHttpServer server;
    server.Get("/file", c.handler);
    ASSERT_TRUE(server.Start());

    Observed observer;
    EXPECT_EQ(Download(server.Url("/file"), &observer), CURLE_FILESIZE_EXCEEDED);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(observer.errors.empty());
    EXPECT_FALSE(std::filesystem::exists(Target()));
  }
}

TEST_F(HttpDownloadTest, ResumesBeyondTwoGibibytes) {
  const std::int64_t onDisk = (std::int64_t{1} << 31) + 1234;
  tunable::ScopedTunable limit(comm::http::tunables::downloadSizeLimit, onDisk + 10);
  const std::string tail = "0123456789";
  { WriteFile(Target(), ""); }
  std::error_code sparse;
  std::filesystem::resize_file(Target(), static_cast<std::uintmax_t>(onDisk), sparse);
  if (sparse) GTEST_SKIP() << "no room for a sparse file: " << sparse.message();

  LocalHttpServer server;
  server.Get("/file", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(
        static_cast<std::size_t>(onDisk) + tail.size(), "application/java-archive",
        [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          if (offset < static_cast<std::size_t>(onDisk)) return false;
          sink.write(tail.data() + (offset - static_cast<std::size_t>(onDisk)), length);
          return true;
        });
  });
  ASSERT_TRUE(server.Start());

  Observed observer;
  EXPECT_EQ(Download(server.Url("/file"), &observer), CURLE_OK);
  EXPECT_EQ(RangesAsked(server), (std::vector<std::string>{"bytes=2147484882-"}));
  EXPECT_EQ(std::filesystem::file_size(Target()),
            static_cast<std::uintmax_t>(onDisk) + tail.size());
  std::ifstream in(Target(), std::ios::binary);
  in.seekg(onDisk);
  std::string stored(tail.size(), '\0');
  in.read(stored.data(), static_cast<std::streamsize>(stored.size()));
  EXPECT_EQ(stored, tail);
  ASSERT_FALSE(observer.progress.empty());
  EXPECT_EQ(observer.progress.back().second, double(onDisk + 10));
}

}  // namespace

#include "http/http_download.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <vector>

#include "http/tunables.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace comm::http {

void PrintTo(DownloadStatus status, std::ostream* out) {
  *out << "DownloadStatus " << static_cast<int>(status);
}

}  // namespace comm::http

namespace {

using namespace std::chrono_literals;

using comm::http::DownloadResult;
using comm::http::DownloadStatus;
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

// libcurl's own text for `code`: what the progress line shows.
std::string CurlText(CURLcode code) {
  return curl_easy_strerror(code);
}

std::vector<std::string> RangesAsked(const LocalHttpServer& server) {
  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) ranges.push_back(request.Header("Range"));
  return ranges;
}

class HttpDownloadTest : public ::testing::Test {
 protected:
  std::filesystem::path Target() const { return m_dir / "stock-relay.jar"; }

  DownloadResult Download(const std::string& url) {
    HttpDownload download(url, WindowsFormPath(Target()));
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

    const DownloadResult result = Download(server.Url(c.path));
    EXPECT_EQ(result.status, DownloadStatus::Complete);
    EXPECT_EQ(result.text, "");
    EXPECT_TRUE(ReadFile(Target()) == source)
        << "file differs, size " << std::filesystem::file_size(Target());
    // One request per attempt: each cut costs exactly one more.
    EXPECT_EQ(RangesAsked(server), c.rangesAsked);
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
  const DownloadResult errorStatus{DownloadStatus::HttpError, CurlText(CURLE_HTTP_RETURNED_ERROR)};
  const DownloadResult wrongRange{DownloadStatus::WrongRange, CurlText(CURLE_RANGE_ERROR)};
  struct Case {
    const char* name;
    std::size_t alreadyOnDisk;
    httplib::Server::Handler handler;
    DownloadResult expected;
  } cases[] = {
      {"404 page", 0, status(404, "<html>not found</html>"), errorStatus},
      {"500 page on a partial file", 1234, status(500, "<html>oops</html>"), errorStatus},
      {"503 without a body", 1234, status(503, ""), errorStatus},
      {"206 without a range", 1234, unrangedPartial(""), wrongRange},
      {"206 from the wrong byte", 1234, unrangedPartial("bytes 0-65535/65536"), wrongRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Target());
    const std::string before = c.alreadyOnDisk > 0 ? source.substr(0, c.alreadyOnDisk) : "";
    if (!before.empty()) WriteFile(Target(), before);
    // What the file holds as each attempt asks: the first, and every one
    // after a failed attempt.
    std::mutex mutex;
    std::vector<std::string> onDiskAtRequests;
    LocalHttpServer server;
    server.Get("/file", [&](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex);
        onDiskAtRequests.push_back(ReadFile(Target()));
      }
      c.handler(req, res);
    });
    ASSERT_TRUE(server.Start());

    const DownloadResult result = Download(server.Url("/file"));
    EXPECT_EQ(result.status, c.expected.status);
    EXPECT_EQ(result.text, c.expected.text);
    // Between attempts the file holds what it held; after the last, nothing.
    std::lock_guard lock(mutex);
    EXPECT_EQ(onDiskAtRequests, std::vector<std::string>(3, before));
    EXPECT_FALSE(std::filesystem::exists(Target()));
    EXPECT_EQ(server.Requests().size(), 3u);
  }
}

// Each way a download ends has a reason of its own, told with the text the
// progress line shows; whatever failed leaves no file behind.
TEST_F(HttpDownloadTest, EveryEndHasItsReasonAndItsText) {
  const std::string source = SourceBytes(64 * 1024);
  LocalHttpServer* serving = nullptr;
  const httplib::Server::Handler notFound = [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<html>not found</html>", "text/html");
  };
  const httplib::Server::Handler neverAnswers =
      [&serving](const httplib::Request&, httplib::Response&) { serving->WaitUntilStopping(10s); };
  struct Case {
    const char* name;
    DownloadStatus status;
    CURLcode code;  // libcurl's code whose text the result carries
    std::size_t requests;
    httplib::Server::Handler handler = nullptr;  // the file itself when null
    std::deque<std::size_t> drops = {};          // of the file's answers
    bool listening = true;
    std::int64_t sizeLimit = std::int64_t{1} << 30;
    std::int64_t freeMargin = 0;
    std::chrono::seconds deadline = 20s;
  } cases[] = {
      {.name = "the whole file",
       .status = DownloadStatus::Complete,
       .code = CURLE_OK,
       .requests = 1},
      {.name = "a 404 page",
       .status = DownloadStatus::HttpError,
       .code = CURLE_HTTP_RETURNED_ERROR,
       .requests = 3,
       .handler = notFound},
      {.name = "a length past the size limit",
       .status = DownloadStatus::TooLarge,
       .code = CURLE_FILESIZE_EXCEEDED,
       .requests = 1,
       .sizeLimit = 1000},
      {.name = "a length the drive has no room for",
       .status = DownloadStatus::NoRoom,
       .code = CURLE_WRITE_ERROR,
       .requests = 1,
       .freeMargin = std::int64_t{1} << 62},
      {.name = "the connection cut every time",
       .status = DownloadStatus::Network,
       .code = CURLE_PARTIAL_FILE,
       .requests = 3,
       .drops = {100, 100, 100}},
      {.name = "nothing listening",
       .status = DownloadStatus::Network,
       .code = CURLE_COULDNT_CONNECT,
       .requests = 0,
       .listening = false},
      {.name = "no answer before the deadline",
       .status = DownloadStatus::TimedOut,
       .code = CURLE_OPERATION_TIMEDOUT,
       .requests = 1,
       .handler = neverAnswers,
       .deadline = 1s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Target());
    tunable::ScopedTunable limit(comm::http::tunables::downloadSizeLimit, c.sizeLimit);
    tunable::ScopedTunable margin(comm::http::tunables::downloadFreeSpaceMargin, c.freeMargin);
    tunable::ScopedTunable deadline(comm::http::tunables::downloadDeadline, c.deadline);
    FileSource files(source);
    files.DropResponsesAfter(c.drops);
    LocalHttpServer server;
    serving = &server;
    server.Get("/file", c.handler ? c.handler : files.Handler());
    ASSERT_TRUE(server.Start());
    const std::string url =
        c.listening
            ? server.Url("/file")
            : "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()) + "/file";

    const DownloadResult result = Download(url);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.Complete(), c.code == CURLE_OK);
    EXPECT_EQ(result.text, c.code == CURLE_OK ? "" : CurlText(c.code));
    EXPECT_EQ(std::filesystem::exists(Target()), c.code == CURLE_OK);
    EXPECT_EQ(server.Requests().size(), c.requests);
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
    HttpDownload download(server.Url("/file"), target);
    const DownloadResult result = download.Perform();
    EXPECT_EQ(result.status, DownloadStatus::WriteFailed);
    EXPECT_EQ(result.text, CurlText(CURLE_WRITE_ERROR));
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

  HttpDownload download(server.Url("/file"), WindowsFormPath(full));
  const DownloadResult result = download.Perform();
  EXPECT_EQ(result.status, DownloadStatus::WriteFailed);
  EXPECT_EQ(result.text, CurlText(CURLE_WRITE_ERROR));
  // Every attempt is made: a write may fail for a passing reason.
  EXPECT_EQ(server.Requests().size(), 3u);
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
  // A pause after a time-out would last until the deadline, and the download
  // would end there unfinished.
  tunable::ScopedTunable longPause(comm::http::tunables::downloadRetryPause,
                                   std::chrono::milliseconds(1h));
  tunable::ScopedTunable deadline(comm::http::tunables::downloadDeadline, 15s);
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

    EXPECT_EQ(Download(server.Url("/file")).status, DownloadStatus::Complete);
    EXPECT_TRUE(ReadFile(Target()) == source);
    EXPECT_EQ(RangesAsked(server), c.rangesAsked);
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

    const DownloadResult result = Download(server.Url("/file"));
    EXPECT_EQ(result.status, DownloadStatus::TooLarge);
    EXPECT_EQ(result.text, CurlText(CURLE_FILESIZE_EXCEEDED));
    EXPECT_EQ(server.Requests().size(), 1u);
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

  EXPECT_EQ(Download(server.Url("/file")).status, DownloadStatus::Complete);
  EXPECT_EQ(RangesAsked(server), (std::vector<std::string>{"bytes=2147484882-"}));
  EXPECT_EQ(std::filesystem::file_size(Target()),
            static_cast<std::uintmax_t>(onDisk) + tail.size());
  std::ifstream in(Target(), std::ios::binary);
  in.seekg(onDisk);
  std::string stored(tail.size(), '\0');
  in.read(stored.data(), static_cast<std::streamsize>(stored.size()));
  EXPECT_EQ(stored, tail);
}

}  // namespace

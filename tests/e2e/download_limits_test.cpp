// HttpDownload against the real stand-in where a download must stop, or
// start the file over: past its deadline, over the size limit, too large for
// the drive, and when the file changes between two attempts.
#ifdef WARDKEEP_STANDIN

#include <gtest/gtest.h>

#include <chrono>

#include "http/http_download.h"
#include "http/tunables.h"
#include "support/posix/standin_process.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

using namespace std::chrono_literals;

namespace fs = std::filesystem;
using comm::http::DownloadResult;
using comm::http::DownloadStatus;
using comm::http::HttpDownload;
using testing_support::StandinProcess;
using testing_support::TempDir;

constexpr std::int64_t kSize = 512 * 1024;

class DownloadLimits : public ::testing::Test {
 protected:
  fs::path Target() const { return m_dir / "stock-relay.jar"; }

  DownloadResult Download() {
    HttpDownload download(m_standin.JarUrl(), testing_support::WindowsFormPath(Target()));
    return download.Perform();
  }

  // No file on disk, every download setting back to its default, then
  // `settings`.
  void Serve(const std::string& settings) {
    fs::remove(Target());
    ASSERT_TRUE(
        m_standin.Control("/control/download",
                          "scenario=normal&revision=1&validators=both&if-range=honour&jar-size=" +
                              std::to_string(kSize)));
    ASSERT_TRUE(m_standin.Control("/control/download", settings));
    ASSERT_TRUE(m_standin.Control("/control/clear", ""));
  }

  StandinProcess m_standin{WARDKEEP_STANDIN, {}};
  TempDir m_dir;
  tunable::ScopedTunable<int> m_attempts{comm::http::tunables::downloadAttempts, 4};
  tunable::ScopedTunable<std::chrono::milliseconds> m_pause{
      comm::http::tunables::downloadRetryPause, 50ms};
};

TEST_F(DownloadLimits, StopsAtOnceWithNothingLeftOnDisk) {
  ASSERT_TRUE(m_standin.Ready());
  using Clock = std::chrono::steady_clock;
  struct Case {
    const char* name;
    std::string settings;
    std::int64_t maxBytes;
    int attempts;
    DownloadStatus expected;
    bool oneRequest;
  } cases[] = {
      // Each attempt alone would wait a minute for a quiet line.
      {"deadline: the answer never comes", "scenario=stall", kSize, 4, DownloadStatus::TimedOut,
       true},
      {"deadline: attempt after failed attempt", "scenario=drop-always&drop-after=1000", kSize,
       1000, DownloadStatus::TimedOut, false},
      {"size limit: announced", "", kSize - 1, 4, DownloadStatus::TooLarge, true},
      // A pebibyte: no drive here has room for it.
      {"free space", "jar-size=1125899906842624", std::int64_t{1} << 62, 4, DownloadStatus::NoRoom,
       true},
  };
  tunable::ScopedTunable deadline(comm::http::tunables::downloadDeadline, 1s);
  tunable::ScopedTunable quiet(comm::http::tunables::downloadLowSpeedTime, 60s);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Serve(c.settings);
    tunable::ScopedTunable limit(comm::http::tunables::downloadSizeLimit, c.maxBytes);
    tunable::ScopedTunable attempts(comm::http::tunables::downloadAttempts, c.attempts);
    const auto started = Clock::now();
    EXPECT_EQ(Download().status, c.expected);
    const auto took = Clock::now() - started;
    EXPECT_LT(took, std::chrono::seconds(4));  // a one-second deadline, with slack for the machine
    EXPECT_FALSE(fs::exists(Target()));
    const Json::Value requests = m_standin.GetJson("/control/hits")["download"];
    if (c.oneRequest) {
      EXPECT_EQ(requests.asInt(), 1);
    } else {
      EXPECT_GT(requests.asInt(), 1);
    }
  }
}

TEST_F(DownloadLimits, ResumesOnlyTheFileItBegan) {
  ASSERT_TRUE(m_standin.Ready());
  const std::string cut = "scenario=drop-once&drop-after=" + std::to_string(kSize / 2);
  const std::string half = "bytes=" + std::to_string(kSize / 2) + "-";
  // Each request as "status range If-Range", the If-Range as "tag", "date"
  // or "-".
  const std::string whole = "200 - -";
  const std::string restByTag = "206 " + half + " tag";
  const std::string restByDate = "206 " + half + " date";
  const std::string changedWhole = "200 " + half + " tag";
  struct Case {
    const char* name;
    std::string settings;
    std::string change;  // in force from the second request on
    std::vector<std::string> asked;
  } cases[] = {
      {"same file, entity tag", "", "", {whole, restByTag}},
      {"same file, date only", "validators=last-modified", "", {whole, restByDate}},
      {"no validator: starts over", "validators=none", "", {whole, whole}},
      {"changed file: sent whole", "", "revision=2", {whole, changedWhole}},
      {"changed file, If-Range ignored: starts over",
       "if-range=ignore",
       "revision=2",
       {whole, restByTag, whole}},
      // The date cannot tell them apart; the announced length can.
      {"changed length under the same date: starts over",
       "validators=last-modified",
       "jar-size=600000",
       {whole, restByDate, whole}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Serve(cut + "&" + c.settings);
    if (!c.change.empty()) {
      ASSERT_TRUE(m_standin.Control("/control/download/queue", c.change));
    }
    EXPECT_EQ(Download().status, DownloadStatus::Complete);
    std::vector<std::string> asked;
    for (const Json::Value& r : m_standin.GetJson("/control/downloads")) {
      const std::string range = r["range"].asString();
      const std::string ifRange = r["if-range"].asString();
      asked.push_back(std::to_string(r["status"].asInt()) + " " + (range.empty() ? "-" : range) +
                      " " +
                      (ifRange.empty()          ? "-"
                       : ifRange.front() == '"' ? "tag"
                                                : "date"));
    }
    EXPECT_EQ(asked, c.asked);
    EXPECT_TRUE(testing_support::ReadFile(Target()) == m_standin.Jar());
  }
}

}  // namespace

#endif  // WARDKEEP_STANDIN

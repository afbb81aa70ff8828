// The whole update run against the real stand-in while its JAR download
// misbehaves in every way it can: cut at many offsets, once or every time,
// ranges ignored, error pages, stalls, a body that ends early yet looks whole,
// a byte changed on the way, a new file published between two attempts. Whatever happens, the
// installation holds either the new JAR byte for byte (the old one backed up) or the old one
// untouched; never anything in between.
#ifdef WARDKEEP_STANDIN

#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "http/tunables.h"
#include "support/posix/program_dir_lock.h"
#include "support/posix/standin_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/progress.h"
#include "upgrade/update_run.h"

namespace {

using namespace std::chrono_literals;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing_support::ProgramDir;
using testing_support::ProgramDirLock;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::StandinProcess;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr long kSize = 256 * 1024;
constexpr long kChunk = 64 * 1024;  // the stand-in's write size
constexpr int kAttempts = 4;

// A whole archive of exactly kSize bytes: one stored entry of noise.
std::string NewJar(std::uint32_t seed = 2463534242u) {
  const std::string name = "payload.bin";
  const std::size_t overhead = 30 + 46 + 22 + 2 * name.size();
  std::string noise;
  std::uint32_t x = seed;
  while (noise.size() < static_cast<std::size_t>(kSize) - overhead) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise += static_cast<char>(x);
  }
  return testing_support::BuildZip({{name, noise}}).bytes;
}

// The same length as the new one: only its version tells them apart.
std::string NewerJar() {
  return NewJar(88675123u);
}

std::string OldJar() {
  return testing_support::SampleJar(100000, 4);
}

// One download setting; step n is applied once the n-th request has arrived
// and `afterMs` have passed, so it governs the requests that follow.
struct Step {
  std::string settings;
  int afterMs = 0;
};

enum class Outcome { kInstalled, kUntouched, kCorrupted };
enum class Expect { kInstalled, kUntouched };

struct Case {
  std::string name;
  std::vector<Step> steps;
  Expect expect;
  bool fileChanges = false;  // the newer JAR is what must be installed
  std::string refusal = {};  // the archive check's reason, for downloads that "succeed"
};

// Switches the stand-in's download behaviour while the update runs.
class Director {
 public:
  // `reset` restores what earlier cases changed before the first step.
  Director(const StandinProcess& standin, const std::string& reset, std::vector<Step> steps)
      : m_standin(standin), m_steps(std::move(steps)) {
    m_ok = m_standin.Control("/control/clear", "") &&
           m_standin.Control("/control/download", reset) &&
           m_standin.Control("/control/download", m_steps.front().settings);
    // Steps due at a request, not after a pause, are handed to the stand-in to
    // apply as that request arrives: polling could miss a quick retry.
    while (m_next < m_steps.size() && m_steps[m_next].afterMs == 0) {
      m_ok = m_standin.Control("/control/download/queue", m_steps[m_next].settings) && m_ok;
      ++m_next;
    }
    m_thread = std::thread([this] { Run(); });
  }
  ~Director() {
    m_stop = true;
    m_thread.join();
  }
  bool Ok() const { return m_ok; }

 private:
  void Run() {
    std::size_t& next = m_next;
    std::vector<Clock::time_point> seen;  // when each request was first noticed
    while (!m_stop && next < m_steps.size()) {
      const auto requests =
          static_cast<std::size_t>(m_standin.GetJson("/control/hits")["download"].asInt());
      while (seen.size() < requests) seen.push_back(Clock::now());
      if (seen.size() >= next &&
          Clock::now() >= seen[next - 1] + std::chrono::milliseconds(m_steps[next].afterMs)) {
        m_ok = m_standin.Control("/control/download", m_steps[next].settings) && m_ok;
        ++next;
        continue;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  const StandinProcess& m_standin;
  std::vector<Step> m_steps;
  std::size_t m_next = 1;  // the first step not yet applied or queued
  std::atomic<bool> m_ok{false};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

std::string Cut(const char* scenario, long offset) {
  return std::string("scenario=") + scenario + "&drop-after=" + std::to_string(offset);
}

std::vector<Case> Matrix(const fs::path& newer) {
  std::vector<Case> cases;
  const long onceAt[] = {
      0,         1,         2,          3,      4,          5,         100,
      4095,      4096,      kChunk - 1, kChunk, kChunk + 1, kSize / 2, kSize - kChunk,
      kSize - 2, kSize - 1, kSize};
  for (long at : onceAt) {
    cases.push_back(
        {"cut once at " + std::to_string(at), {{Cut("drop-once", at)}}, Expect::kInstalled});
  }
  // Every request cut after the same number of bytes: a resumed download
  // gains that much per attempt.
  struct {
    long at;
    Expect expect;
  } const always[] = {{0, Expect::kUntouched},         {1, Expect::kUntouched},
                      {4, Expect::kUntouched},         {kChunk - 1, Expect::kUntouched},
                      {kChunk, Expect::kInstalled},    {100000, Expect::kInstalled},
                      {kSize / 2, Expect::kInstalled}, {kSize - 1, Expect::kInstalled},
                      {kSize, Expect::kInstalled}};
  for (const auto& a : always) {
    cases.push_back(
        {"cut every time at " + std::to_string(a.at), {{Cut("drop-always", a.at)}}, a.expect});
  }
  for (long at : {1L, kChunk, kSize / 2, kSize - 1}) {
    cases.push_back({"cut once at " + std::to_string(at) + ", then ranges ignored",
                     {{Cut("drop-once", at)}, {"scenario=ignore-range"}},
                     Expect::kInstalled});
  }
  cases.push_back({"ranges ignored", {{"scenario=ignore-range"}}, Expect::kInstalled});
  const Step half = {Cut("drop-once", kSize / 2)};
  cases.push_back({"404 every time", {{"scenario=404"}}, Expect::kUntouched});
  cases.push_back({"500 every time", {{"scenario=500"}}, Expect::kUntouched});
  cases.push_back({"404 once", {{"scenario=404"}, {"scenario=normal"}}, Expect::kInstalled});
  cases.push_back({"500 once", {{"scenario=500"}, {"scenario=normal"}}, Expect::kInstalled});
  cases.push_back(
      {"cut at half, then 404 every time", {half, {"scenario=404"}}, Expect::kUntouched});
  // The error page must not land in the middle of the file being resumed.
  cases.push_back({"cut at half, then 500 once",
                   {half, {"scenario=500"}, {"scenario=normal"}},
                   Expect::kInstalled});
  cases.push_back({"stall every time", {{"scenario=stall"}}, Expect::kUntouched});
  // The change releases a request still held with a 503; the next one succeeds.
  cases.push_back(
      {"stall once", {{"scenario=stall"}, {"scenario=normal", 1500}}, Expect::kInstalled});
  cases.push_back({"cut at half, then a stall",
                   {half, {"scenario=stall"}, {"scenario=normal", 1500}},
                   Expect::kInstalled});
  // A new build published between two attempts: its tail must never be
  // appended to the head of the one begun.
  const std::string changed = "scenario=normal&jar=" + newer.string();
  cases.push_back(
      {"cut at half, then the file changes", {half, {changed}}, Expect::kInstalled, true});
  cases.push_back({"cut at half, then the file changes, If-Range ignored",
                   {half, {changed + "&if-range=ignore"}},
                   Expect::kInstalled,
                   true});
  // Transfers that succeed with the wrong bytes: only the archive check stands
  // between them and the installation.
  const std::string noEnd = "文件末尾没有ZIP目录结束记录";
  const std::string badCrc = "第1个条目的CRC校验值不符";
  for (long at : {4L, kSize / 2, kSize - 1}) {
    cases.push_back({"ends early at " + std::to_string(at) + " without a length",
                     {{Cut("end-early", at)}},
                     Expect::kUntouched,
                     false,
                     noEnd});
  }
  for (long at : {100L, kSize / 2}) {
    cases.push_back({"byte " + std::to_string(at) + " changed on the way",
                     {{Cut("flip-byte", at)}},
                     Expect::kUntouched,
                     false,
                     badCrc});
  }
  // The byte lands in the first entry's name, which is then no UTF-8.
  cases.push_back({"a byte of the directory changed on the way",
                   {{Cut("flip-byte", kSize - 30)}},
                   Expect::kUntouched,
                   false,
                   "第1个条目的名称不是有效的UTF-8编码"});
  cases.push_back({"cut at half, then resumed from another file",
                   {half, {"scenario=flip-byte&drop-after=" + std::to_string(kSize / 2 + 10)}},
                   Expect::kUntouched,
                   false,
                   badCrc});
  return cases;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kInstalled:
      return "installed";
    case Outcome::kUntouched:
      return "untouched";
    default:
      return "CORRUPTED";
  }
}

Outcome Classify(const upgrade_test::UpgradeDrives& drives, const std::string& newJar,
                 const std::string& oldJar) {
  const fs::path root = drives.D() / "orv" / "stock-relay";
  const std::string installed = ReadFile(root / "app" / "stock-relay.jar");
  std::vector<fs::path> backups;
  if (fs::exists(root / "backUp")) {
    for (const auto& entry : fs::directory_iterator(root / "backUp")) backups.push_back(entry);
  }
  if (installed == newJar && backups.size() == 1 &&
      ReadFile(backups[0] / "stock-relay.jar") == oldJar &&
      drives.NetCalls() == "stop stock-relay\nstart stock-relay\n") {
    return Outcome::kInstalled;
  }
  // A refused archive may leave its empty time-stamped backup directory.
  const bool noBackup = std::all_of(backups.begin(), backups.end(),
                                    [](const fs::path& stamp) { return fs::is_empty(stamp); });
  if (installed == oldJar && noBackup && drives.NetCalls().empty()) {
    return Outcome::kUntouched;
  }
  return Outcome::kCorrupted;
}

TEST(FaultMatrix, EveryBrokenDownloadInstallsTheWholeJarOrNothing) {
  ProgramDirLock lock;
  ScopedEnv programDrive("WARDKEEP_DRIVE_E", ProgramDir().string());
  TempDir served;
  const std::string newJar = NewJar();
  const std::string newerJar = NewerJar();
  const std::string oldJar = OldJar();
  WriteFile(served / "stock-relay.jar", newJar);
  fs::create_directories(served / "newer");
  WriteFile(served / "newer" / "stock-relay.jar", newerJar);
  StandinProcess standin(WARDKEEP_STANDIN, {"--update", "offer-relative", "--stall-seconds", "5"});
  ASSERT_TRUE(standin.Ready());
  const std::string reset =
      "jar=" + (served / "stock-relay.jar").string() + "&if-range=honour&validators=both";

  tunable::ScopedTunable attempts(comm::http::tunables::downloadAttempts, kAttempts);
  tunable::ScopedTunable pause(comm::http::tunables::downloadRetryPause, 150ms);
  tunable::ScopedTunable lowSpeed(comm::http::tunables::downloadLowSpeedTime, 1s);
  tunable::ScopedTunable timeLimit(comm::http::tunables::downloadTimeout, 20s);

  const std::vector<Case> cases = Matrix(served / "newer" / "stock-relay.jar");
  int counts[3] = {};
  std::string table;
  for (const Case& c : cases) {
    upgrade_test::UpgradeDrives drives;
    fs::create_directories(drives.D() / "orv" / "stock-relay" / "app");
    WriteFile(drives.D() / "orv" / "stock-relay" / "app" / "stock-relay.jar", oldJar);
    fs::remove(ProgramDir() / "stock-relay.jar");

    bool offered = false;
    bool directed = false;
    const auto started = Clock::now();
    {
      Director director(standin, reset, c.steps);
      upgrade::RunRecord record;
      upgrade::ScopedRunRecord collecting(record);
      ::testing::internal::CaptureStdout();  // the upgrade's progress lines
      upgrade::RunUpdate({standin.UpdateUrl(), "", standin.PlatformUrl()});
      offered = !record.offeredVersion.empty();
      const std::string lines = ::testing::internal::GetCapturedStdout();
      if (!c.refusal.empty()) {
        EXPECT_NE(lines.find("错误: 新的JAR文件不完整或已损坏 (" + c.refusal), std::string::npos)
            << c.name << "\n"
            << lines;
      }
      directed = director.Ok();
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    // Counted as they arrive: a stalled request is recorded only once released.
    const int requests = standin.GetJson("/control/hits")["download"].asInt();
    EXPECT_TRUE(directed) << c.name;
    EXPECT_TRUE(offered) << c.name;

    const Outcome outcome = Classify(drives, c.fileChanges ? newerJar : newJar, oldJar);
    ++counts[static_cast<int>(outcome)];
    const Outcome expected =
        c.expect == Expect::kInstalled ? Outcome::kInstalled : Outcome::kUntouched;
    EXPECT_EQ(OutcomeName(outcome), std::string(OutcomeName(expected))) << c.name;

    char line[160];
    std::snprintf(line, sizeof line, "  %-44s %2d requests %6lld ms  %s\n", c.name.c_str(),
                  requests, static_cast<long long>(ms), OutcomeName(outcome));
    table += line;
  }
  fs::remove(ProgramDir() / "stock-relay.jar");

  const std::string summary =
      "fault matrix: " + std::to_string(cases.size()) + " cases: " + std::to_string(counts[0]) +
      " installed byte-identical, " + std::to_string(counts[1]) + " left the old JAR untouched, " +
      std::to_string(counts[2]) + " corrupted";
  std::printf("%s%s\n", table.c_str(), summary.c_str());
  RecordProperty("cases", static_cast<int>(cases.size()));
  RecordProperty("installed", counts[0]);
  RecordProperty("untouched", counts[1]);
  RecordProperty("corrupted", counts[2]);
  RecordProperty("summary", summary);
  EXPECT_EQ(counts[2], 0);
}

}  // namespace

#endif  // WARDKEEP_STANDIN

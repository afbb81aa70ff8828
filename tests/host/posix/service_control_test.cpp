// Service status and start, and the button's walk over the services, against
// a stand-in systemctl on PATH.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "host/service_control.h"
#include "host/tunables.h"
#include "support/posix/service_manager_standin.h"
#include "support/recording_view.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

using testing_support::RecordingView;
using testing_support::ScopedEnv;
using testing_support::ServiceManagerStandin;
using testing_support::TempDir;
using Strings = std::vector<std::string>;
using WideStrings = std::vector<std::wstring>;

const std::wstring kOpenFailed = L"OpenSCManager Open failed";
const std::wstring kQueryFailed = L"QueryServiceStatusEx failed";

// Presses the button with no cache client, so only the services are touched.
class TryStart : public testing::Test {
 protected:
  void Press() {
    CwardkeepDlg dialog(view);
    view.calls.clear();
    dialog.OnTryStart();
  }
  void ExpectButtonRestored() {
    EXPECT_EQ(view.texts[app::kTryStartButtonId], L"尝试启动");
    EXPECT_TRUE(view.enabled[app::kTryStartButtonId]);
  }

  ScopedEnv noDriveD{"WARDKEEP_DRIVE_D", std::nullopt};
  tunable::ScopedTunable<std::chrono::milliseconds> shortPause{host::tunables::serviceStartPause,
                                                               1ms};
  ServiceManagerStandin manager;
  RecordingView view;
};

struct WalkCase {
  const char* name;
  std::map<std::string, std::string> units;  // absent: no such unit
  Strings starts;
  WideStrings boxes;
  std::map<std::string, std::string> after;
};

// Test listings show the case's name rather than its bytes.
void PrintTo(const WalkCase& c, std::ostream* out) {
  *out << c.name;
}

class TryStartWalk : public TryStart, public testing::WithParamInterface<WalkCase> {};

TEST_P(TryStartWalk, StartsWhatIsStoppedInOrderAndShowsOnlyQueryFailures) {
  const WalkCase& c = GetParam();
  for (const auto& [unit, state] : c.units) manager.SetUnit(unit, state);

  Press();

  EXPECT_EQ(manager.Starts(), c.starts);
  EXPECT_EQ(view.boxes, c.boxes);
  for (const auto& [unit, state] : c.after) EXPECT_EQ(manager.UnitState(unit), state) << unit;
  ExpectButtonRestored();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TryStartWalk,
    testing::Values(
        WalkCase{"AllRunning",
                 {{"redis-orv", "active"}, {"Mysql-orv", "active"}, {"stock-relay", "active"}},
                 {},
                 {},
                 {}},
        WalkCase{"AllStopped",
                 {{"redis-orv", "inactive"}, {"Mysql-orv", "failed"}, {"stock-relay", "inactive"}},
                 {"redis-orv", "Mysql-orv", "stock-relay"},
                 {},
                 {{"redis-orv", "active"}, {"Mysql-orv", "active"}, {"stock-relay", "active"}}},
        WalkCase{"OnlyMysqlStopped",
                 {{"redis-orv", "active"}, {"Mysql-orv", "inactive"}, {"stock-relay", "active"}},
                 {"Mysql-orv"},
                 {},
                 {{"Mysql-orv", "active"}}},
        // Not running, and not stopped either: the start is refused silently.
        WalkCase{"StartPendingCountsAsNotRunning",
                 {{"redis-orv", "activating"}, {"Mysql-orv", "active"}, {"stock-relay", "active"}},
                 {},
                 {},
                 {{"redis-orv", "activating"}}},
        // Each start is only queued; the walk goes on while they come up.
        WalkCase{"SlowStartsAreQueuedNotAwaited",
                 {{"redis-orv", "slow"}, {"Mysql-orv", "slow"}, {"stock-relay", "active"}},
                 {"redis-orv", "Mysql-orv"},
                 {},
                 {{"redis-orv", "activating"}, {"Mysql-orv", "activating"}}},
        WalkCase{"RefusedStartDoesNotStopTheWalk",
                 {{"redis-orv", "refuse"}, {"Mysql-orv", "inactive"}, {"stock-relay", "refuse"}},
                 {"redis-orv", "Mysql-orv", "stock-relay"},
                 {},
                 {{"redis-orv", "refuse"}, {"Mysql-orv", "active"}, {"stock-relay", "refuse"}}},
        // Once from the walk's own query, once from the query inside the start.
        WalkCase{"MissingUnitShowsTwoBoxesAndIsNotStarted",
                 {{"redis-orv", "inactive"}, {"stock-relay", "inactive"}},
                 {"redis-orv", "stock-relay"},
                 {kOpenFailed, kOpenFailed},
                 {{"redis-orv", "active"}, {"stock-relay", "active"}}},
        WalkCase{"UnreadableStateShowsTwoBoxes",
                 {{"redis-orv", "active"}, {"Mysql-orv", "broken"}, {"stock-relay", "active"}},
                 {"Mysql-orv"},
                 {kQueryFailed, kQueryFailed},
                 {}},
        WalkCase{"NothingExists",
                 {},
                 {},
                 {kOpenFailed, kOpenFailed, kOpenFailed, kOpenFailed, kOpenFailed, kOpenFailed},
                 {}}),
    [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST_F(TryStart, ButtonIsBusyWhileTheServicesAreAskedAndRestoredAfter) {
  manager.SetUnit("redis-orv", "active");
  manager.SetUnit("Mysql-orv", "active");
  Press();

  // stock-relay does not exist: its boxes come while the button is busy.
  EXPECT_EQ(view.calls,
            (WideStrings{L"text 1000 启动..耐心等待", L"enable 1000 0", L"box " + kOpenFailed,
                         L"box " + kOpenFailed, L"text 1000 尝试启动", L"enable 1000 1"}));
}

TEST_F(TryStart, WithoutAButtonTheServicesAreStillStarted) {
  view.hasButton = false;
  manager.SetUnit("redis-orv", "inactive");
  manager.SetUnit("Mysql-orv", "active");
  manager.SetUnit("stock-relay", "active");
  Press();
  EXPECT_EQ(manager.Starts(), Strings{"redis-orv"});
  EXPECT_TRUE(view.calls.empty());
}

// The manager is opened to connect only, which any user may; a user who may
// not start services is still shown nothing for a unit that is missing.
TEST_F(TryStart, AMissingUnitShowsNoBoxToAUserWhoMayNotStartServices) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  manager.SetUnit("redis-orv", "active");
  // The stand-in's files readable and runnable by the other user.
  const std::filesystem::path dir = manager.LogFile().parent_path();
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
  }
  std::filesystem::permissions(dir, std::filesystem::perms::all);
  // As root: the box, as ever. As "nobody": none, and a running unit still reads running.
  EXPECT_FALSE(host::IsServiceRunningShowingFailures(L"stock-relay", view));
  EXPECT_EQ(view.boxes, WideStrings{kOpenFailed});
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RecordingView other;
    const bool becameNobody = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    const bool running = host::IsServiceRunningShowingFailures(L"redis-orv", other);
    const bool missing = host::IsServiceRunningShowingFailures(L"stock-relay", other);
    ::_exit(!becameNobody ? 10 : (running && !missing && other.boxes.empty()) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: could not become nobody; 1: a box or a wrong state";
}

TEST_F(TryStart, UnreachableManagerShowsNothing) {
  manager.SetUnit("redis-orv", "inactive");
  manager.CutBus();
  Press();
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_TRUE(manager.Starts().empty());
  EXPECT_EQ(manager.UnitState("redis-orv"), "inactive");
  ExpectButtonRestored();
}

TEST_F(TryStart, NoSystemctlAtAllShowsNothing) {
  TempDir empty;
  ScopedEnv path("PATH", empty.path().string());
  Press();
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_TRUE(manager.Calls().empty());
  ExpectButtonRestored();
}

// Only an accepted start pauses before the next service is looked at.
TEST_F(TryStart, PauseFollowsAcceptedStartsOnly) {
  constexpr unsigned kPauseMs = 400;
  tunable::ScopedTunable pause(host::tunables::serviceStartPause,
                               std::chrono::milliseconds(kPauseMs));
  manager.SetUnit("redis-orv", "inactive");
  manager.SetUnit("Mysql-orv", "refuse");
  manager.SetUnit("stock-relay", "inactive");
  Press();

  auto calls = manager.Calls();
  std::vector<long long> gapsAfterStartMs;
  for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
    if (calls[i].line.find(" start ") == std::string::npos) continue;
    gapsAfterStartMs.push_back((calls[i + 1].nanoseconds - calls[i].nanoseconds) / 1000000);
  }
  ASSERT_EQ(gapsAfterStartMs.size(), 2u);  // the last start has nothing after it
  EXPECT_GE(gapsAfterStartMs[0], kPauseMs);
  EXPECT_EQ(manager.Starts(), (Strings{"redis-orv", "Mysql-orv", "stock-relay"}));
}

TEST_F(TryStart, RefusedStartsDoNotPause) {
  // A pause would hold the walk far longer than the whole walk may take.
  tunable::ScopedTunable pause(host::tunables::serviceStartPause, 30000ms);
  for (const char* unit : {"redis-orv", "Mysql-orv", "stock-relay"})
    manager.SetUnit(unit, "refuse");
  auto started = std::chrono::steady_clock::now();
  Press();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(25));
  EXPECT_EQ(manager.Starts().size(), 3u);
}

// The single operations, as the button's walk uses them.
class ServiceControl : public TryStart {};

TEST_F(ServiceControl, ResultsPerState) {
  struct Case {
    const char* state;
    bool running;
    bool startResult;
    const char* after;
    std::size_t starts;
  };
  const Case cases[] = {
      {"active", true, true, "active", 0},
      {"inactive", false, true, "active", 1},
      {"activating", false, false, "activating", 0},
      {"deactivating", false, false, "deactivating", 0},
      {"slow", false, true, "activating", 1},  // returned before the unit was up
      {"refuse", false, false, "refuse", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    manager.SetUnit("stock-relay", c.state);
    std::size_t startsBefore = manager.Starts().size();
    EXPECT_EQ(host::IsServiceRunningShowingFailures(L"stock-relay", view), c.running);
    EXPECT_EQ(host::StartServiceIfStopped(L"stock-relay", view), c.startResult);
    EXPECT_EQ(manager.UnitState("stock-relay"), c.after);
    EXPECT_EQ(manager.Starts().size() - startsBefore, c.starts);
  }
  EXPECT_TRUE(view.boxes.empty());
}

TEST_F(ServiceControl, MissingServiceShowsOneBoxPerQuery) {
  EXPECT_FALSE(host::IsServiceRunningShowingFailures(L"redis-orv", view));
  EXPECT_EQ(view.boxes, WideStrings{kOpenFailed});
  EXPECT_FALSE(host::StartServiceIfStopped(L"redis-orv", view));
  EXPECT_EQ(view.boxes, (WideStrings{kOpenFailed, kOpenFailed}));
  EXPECT_TRUE(manager.Starts().empty());
}

TEST_F(ServiceControl, NamesThatAreNotPlainUnitNamesCannotBeOpened) {
  for (const wchar_t* name : {L"redis-*", L"--all", L"../x", L"a b", L""}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    view.boxes.clear();
    EXPECT_FALSE(host::StartServiceIfStopped(name, view));
    EXPECT_EQ(view.boxes, WideStrings{kOpenFailed});
  }
  // Only the manager itself was asked; no name reached the tool.
  for (const std::string& line : manager.Lines())
    EXPECT_EQ(line, "systemctl show --property=Version");
}

}  // namespace

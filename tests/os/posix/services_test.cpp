// The native services backend against a stand-in systemctl: what each answer
// of the manager becomes, and the cause a failed call leaves.
#include "os/services.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <string>

#include "os/errors.h"
#include "support/posix/service_manager_standin.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ServiceManagerStandin;

const std::wstring kName = L"stock-relay";

enum class Call { Query, Start, Control };

struct Row {
  const char* name;
  std::function<void(ServiceManagerStandin&)> setUp;
  Call call;
  // The state a query reads, or whether a start or a control check succeeds.
  std::optional<os::ServiceState> state;
  bool succeeds;
  int cause;  // errno left by a failed call
};

const Row kRows[] = {
    {"RunningIsRunning", [](auto& m) { m.SetUnit("stock-relay", "active"); }, Call::Query,
     os::ServiceState::Running, true, 0},
    {"FailedIsStopped", [](auto& m) { m.SetUnit("stock-relay", "failed"); }, Call::Query,
     os::ServiceState::Stopped, true, 0},
    {"ActivatingIsPending", [](auto& m) { m.SetUnit("stock-relay", "activating"); }, Call::Query,
     os::ServiceState::Pending, true, 0},
    {"NoBusIsNoManager", [](auto& m) { m.CutBus(); }, Call::Query, os::ServiceState::NoManager,
     false, ENOTCONN},
    {"MissingIsNoService", [](auto&) {}, Call::Query, os::ServiceState::NoService, false, ENOENT},
    {"AnUnreadableStateIsNeitherStoppedNorMissing",
     [](auto& m) { m.SetUnit("stock-relay", "broken"); }, Call::Query, os::ServiceState::Unreadable,
     false, EIO},
    {"AStoppedServiceStarts", [](auto& m) { m.SetUnit("stock-relay", "inactive"); }, Call::Start,
     std::nullopt, true, 0},
    {"ARunningServiceIsNotStartedAgain", [](auto& m) { m.SetUnit("stock-relay", "active"); },
     Call::Start, std::nullopt, false, EALREADY},
    {"AStartingServiceIsNotStartedAgain", [](auto& m) { m.SetUnit("stock-relay", "activating"); },
     Call::Start, std::nullopt, false, EALREADY},
    {"AStartTheManagerRefuses", [](auto& m) { m.SetUnit("stock-relay", "refuse"); }, Call::Start,
     std::nullopt, false, EIO},
    {"NoStartWithoutABus", [](auto& m) { m.CutBus(); }, Call::Start, std::nullopt, false, ENOTCONN},
    {"NoStartOfAMissingService", [](auto&) {}, Call::Start, std::nullopt, false, ENOENT},
    // Control (stop, start, query) only for a unit the manager says can be both
    // started and stopped; a state that cannot be read does not deny it.
    {"ControlOfARunningUnit", [](auto& m) { m.SetUnit("stock-relay", "active"); }, Call::Control,
     std::nullopt, true, 0},
    {"ControlOfAStoppedUnit", [](auto& m) { m.SetUnit("stock-relay", "inactive"); }, Call::Control,
     std::nullopt, true, 0},
    {"ControlOfAUnitWithAnUnreadableState", [](auto& m) { m.SetUnit("stock-relay", "broken"); },
     Call::Control, std::nullopt, true, 0},
    {"NoControlWhereManualStartAndStopAreRefused",
     [](auto& m) {
       m.SetUnit("stock-relay", "active");
       m.RefuseStartAndStop("stock-relay");
     },
     Call::Control, std::nullopt, false, EPERM},
    {"NoControlOfAMissingUnit", [](auto&) {}, Call::Control, std::nullopt, false, ENOENT},
};

TEST(OsServicesNative, EachAnswerOfTheManagerAndTheCauseItLeaves) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    ServiceManagerStandin manager;
    row.setUp(manager);
    const std::size_t startsBefore = manager.Starts().size();
    os::ClearLastError();
    bool succeeded = false;
    switch (row.call) {
      case Call::Query: {
        const os::ServiceState state = os::QueryServiceState(kName);
        EXPECT_EQ(state, *row.state);
        succeeded = state == os::ServiceState::Running || state == os::ServiceState::Stopped ||
                    state == os::ServiceState::Pending;
        break;
      }
      case Call::Start:
        succeeded = os::StartServiceByName(kName);
        break;
      case Call::Control:
        succeeded = os::CanControlService(kName);
        break;
    }
    EXPECT_EQ(succeeded, row.succeeds);
    if (!row.succeeds) {
      EXPECT_EQ(os::LastError().code, row.cause) << testing::PrintToString(os::LastError().text);
    }
    // Only a start that went through reached the manager as a start.
    const bool asked = row.call == Call::Start && (row.succeeds || row.cause == EIO);
    EXPECT_EQ(manager.Starts().size() - startsBefore, asked ? 1u : 0u);
  }
}

// A name the manager would not take literally never reaches it; without any
// systemctl the spawn's own cause is the one left.
TEST(OsServicesNative, NoNameButAPlainOneReachesTheManager) {
  {
    ServiceManagerStandin manager;
    for (const wchar_t* name : {L"redis-*", L"--all", L"../x", L"a b", L""}) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
      os::ClearLastError();
      EXPECT_EQ(os::QueryServiceState(name), os::ServiceState::NoService);
      EXPECT_EQ(os::LastError().code, EINVAL);
      EXPECT_FALSE(os::StartServiceByName(name));
      EXPECT_FALSE(os::CanControlService(name));
    }
    for (const std::string& line : manager.Lines()) {
      EXPECT_EQ(line, "systemctl show --property=Version");
    }
  }
  testing_support::TempDir empty;
  testing_support::ScopedEnv path("PATH", empty.path().string());
  os::ClearLastError();
  EXPECT_EQ(os::QueryServiceState(kName), os::ServiceState::NoManager);
  EXPECT_EQ(os::LastError().code, ENOENT);
}

}  // namespace

// The service manager's answers on both targets for a service that is not
// there: no state, no start, no control, each with "no such service" as its
// cause. "Not there" must never read as "stopped", or a caller would go on to
// start it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "os/errors.h"
#include "os/services.h"
#include "support/service_manager.h"
#include "support/target.h"

namespace {

const std::wstring kUnknown = L"wardkeep-no-such-service";

// ERROR_SERVICE_DOES_NOT_EXIST; natively ENOENT.
constexpr long kNoSuchService = testing_support::kWindowsTarget ? 1060 : 2;

TEST(OsServices, AnUnknownServiceIsAbsentNotStoppedAndSaysSo) {
  testing_support::ReachableServiceManager reachable;
  struct Row {
    const char* call;
    std::function<bool()> failsAsExpected;
  } rows[] = {
      {"QueryServiceState",
       [] { return os::QueryServiceState(kUnknown) == os::ServiceState::NoService; }},
      {"StartServiceByName", [] { return !os::StartServiceByName(kUnknown); }},
      {"CanControlService", [] { return !os::CanControlService(kUnknown); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.call);
    os::ClearLastError();
    EXPECT_TRUE(row.failsAsExpected());
    const os::Error cause = os::LastError();
    EXPECT_EQ(cause.code, kNoSuchService) << testing::PrintToString(cause.text);
    EXPECT_FALSE(cause.text.empty());
  }
}

}  // namespace

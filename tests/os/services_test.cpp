// The service manager's answers on both targets for a service that is not
// there: nothing opens, no state reads, nothing starts. "Not there" must never
// read as "stopped", or a caller would go on to start it.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "os/services.h"
#include "support/service_manager.h"

namespace {

const std::wstring kUnknown = L"wardkeep-no-such-service";

TEST(OsServices, AnUnknownServiceIsAbsentNotStopped) {
  testing_support::ReachableServiceManager reachable;
  os::ServiceHandle manager = os::OpenServiceManager();
  ASSERT_TRUE(manager);
  for (os::ServiceAccess access :
       {os::ServiceAccess::QueryStatus, os::ServiceAccess::Start, os::ServiceAccess::Control}) {
    SCOPED_TRACE(static_cast<int>(access));
    os::ServiceHandle missing = os::OpenNamedService(manager, kUnknown, access);
    EXPECT_FALSE(missing);
    os::ServiceState state = os::ServiceState::Paused;
    EXPECT_FALSE(os::QueryServiceState(missing, state));
    EXPECT_EQ(state, os::ServiceState::Paused);  // untouched, not "stopped"
    EXPECT_FALSE(os::RequestServiceStart(missing));

    // Opened together: the manager is there, the service is not.
    os::OpenedService opened = os::OpenServiceWithManager(kUnknown, access);
    EXPECT_TRUE(opened.manager);
    EXPECT_FALSE(opened.service);
  }
  // No manager, no service; a manager is no service to ask.
  EXPECT_FALSE(os::OpenNamedService(os::ServiceHandle(), kUnknown, os::ServiceAccess::QueryStatus));
  os::ServiceState state = os::ServiceState::Paused;
  EXPECT_FALSE(os::QueryServiceState(manager, state));
  EXPECT_EQ(state, os::ServiceState::Paused);
  EXPECT_FALSE(os::RequestServiceStart(manager));

  // Closing moves with the handle: the moved-from one is empty, the other closes once.
  os::ServiceHandle moved = std::move(manager);
  EXPECT_FALSE(manager);
  EXPECT_TRUE(moved);
  moved.Reset();
  EXPECT_FALSE(moved);
}

}  // namespace

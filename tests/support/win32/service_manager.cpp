// Windows: the platform's own service manager is always there.
#include "support/service_manager.h"

namespace testing_support {

struct ReachableServiceManager::Impl {};

ReachableServiceManager::ReachableServiceManager() = default;
ReachableServiceManager::~ReachableServiceManager() = default;

}  // namespace testing_support

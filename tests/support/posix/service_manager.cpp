// Native: the stand-in systemctl, with no units.
#include "support/service_manager.h"
#include "support/posix/service_manager_standin.h"

namespace testing_support {

struct ReachableServiceManager::Impl {
  ServiceManagerStandin standin;
};

ReachableServiceManager::ReachableServiceManager() : m_impl(std::make_unique<Impl>()) {}
ReachableServiceManager::~ReachableServiceManager() = default;

}  // namespace testing_support

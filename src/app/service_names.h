#pragma once
// The installation's services, always in this order.

#include "platform_client/service_monitor.h"

namespace app {

inline void AddInstallationServices(platform_client::ServiceMonitor& monitor) {
  monitor.serviceNames.push_back(L"redis-orv");
  monitor.serviceNames.push_back(L"Mysql-orv");
  monitor.serviceNames.push_back(L"stock-relay");
}

}  // namespace app

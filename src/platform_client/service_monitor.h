#pragma once
// The local platform service's health report, reduced to a verdict, a fault
// text for the window and the ERP system's name.

#include <string>
#include <vector>

namespace platform_client {

class ServiceMonitor {
 public:
  // Asks the platform service at `baseUrl` ("http://host:port", no path).
  // Returns true when it reports itself healthy. Otherwise `message` holds
  // the fault text (possibly empty) and the ERP name may be set.
  bool CheckHealth(const std::string& baseUrl, std::wstring& message);
  bool ParseHealthReport(std::string json, std::wstring& message);
  std::wstring GetErpName() const { return erpName; }

  // The services the watchdog looks after, filled by its users.
  std::vector<std::wstring> serviceNames;

 private:
  std::wstring erpName;
};

}  // namespace platform_client

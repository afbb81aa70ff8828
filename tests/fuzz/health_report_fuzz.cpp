// The platform service's health report, as it arrives over HTTP.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform_client/service_monitor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string report(reinterpret_cast<const char*>(data), size);
    platform_client::ServiceMonitor monitor;
    std::wstring message = L"before";
    // A healthy verdict never touches the fault text.
    if (monitor.ParseHealthReport(report, message) && message != L"before") __builtin_trap();
    // A second report on the same monitor, as the timer does every cycle.
    monitor.ParseHealthReport(report, message);
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

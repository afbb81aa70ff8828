// The platform service's version answer, as it arrives over HTTP.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform_client/version_query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string report(reinterpret_cast<const char*>(data), size);
    // There is always a version to send, if only the placeholder.
    if (platform_client::ParseVersionReport(report).empty()) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

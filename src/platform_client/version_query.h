#pragma once
// The installed version as the local platform service reports it.

#include <string>

namespace platform_client {

// The version text, or "v0.0.0" when none could be read. On a failed request
// `message` receives the fault text (code page 936), otherwise it is untouched.
std::string QueryInstalledVersion(std::string& message);
std::string ParseVersionReport(std::string json);

}  // namespace platform_client

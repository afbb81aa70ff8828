#pragma once
// The installed version as the local platform service reports it.

#include <string>

namespace platform_client {

// The version text the platform service at `baseUrl` ("http://host:port", no
// path) reports, or "v0.0.0" when none could be read (a failed request
// included: the update check still has a version to send). An empty
// `baseUrl` asks nobody.
std::string QueryInstalledVersion(const std::string& baseUrl);
std::string ParseVersionReport(std::string json);

}  // namespace platform_client

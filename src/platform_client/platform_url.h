#pragma once
// Where the local platform service answers on every installation: loopback,
// port 2405, no path. The program hands it to the health check and the
// version query; tests hand them their own servers'.

namespace platform_client {

inline constexpr char kBuiltInPlatformUrl[] = "http://127.0.0.1:2405";

}  // namespace platform_client

#pragma once
// Where the local platform service answers: loopback, port 2405, no path.

#include <string>

#include "os/tunable.h"

namespace platform_client {

inline os::Tunable<std::string> g_baseUrl{"http://127.0.0.1:2405"};

}  // namespace platform_client

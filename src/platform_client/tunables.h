#pragma once
// Where the local platform service answers: loopback, port 2405, no path.
// Tests point it at their own servers.

#include <string>

#include "tunable/tunable.h"

namespace platform_client::tunables {

inline Tunable<std::string> baseUrl{"http://127.0.0.1:2405"};

}  // namespace platform_client::tunables

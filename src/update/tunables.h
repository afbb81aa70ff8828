#pragma once
// The update server, fixed when the program is built. Tests point it at their
// own servers.

#include <string>

#include "tunable/tunable.h"

namespace update::tunables {

// "http://host:port" or "https://host:port", no path, no trailing slash.
// Relative download locations are appended to it as they come.
extern Tunable<std::string> serverBaseUrl;

}  // namespace update::tunables

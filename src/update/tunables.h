#pragma once
// The update server and the JAR signing key, fixed when the program is built.
// Tests replace them with their own.

#include <string>

#include "tunable/tunable.h"

namespace update::tunables {

// "http://host:port" or "https://host:port", no path, no trailing slash.
// Relative download locations are appended to it as they come.
extern tunable::Tunable<std::string> serverBaseUrl;

// The public key that downloaded JARs must be signed with: Base64 of the 32
// raw bytes of an Ed25519 key, or empty for a build that installs them
// unsigned.
extern tunable::Tunable<std::string> jarSigningKey;

}  // namespace update::tunables

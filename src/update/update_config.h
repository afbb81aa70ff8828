#pragma once
// The two deployment settings of the update check, fixed when the program is
// built.

#include <string>
#include <string_view>

#include "os/tunable.h"

// The update server's public key: 128 Base64 characters of a 512-bit RSA
// SubjectPublicKeyInfo, without PEM marker lines.
extern const std::string_view UpdatePublicKey;

// The update server as "http://host:port" or "https://host:port", no path, no
// trailing slash.
// Relative download locations are appended to it as they come.
extern os::Tunable<std::string> UpdateServerBaseUrl;

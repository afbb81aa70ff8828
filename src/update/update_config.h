#pragma once
// The update check's public key, fixed when the program is built (the server
// it talks to and the signing keys are in update/update_settings.h).

#include <string_view>

namespace update {

// The update server's public key: 128 Base64 characters of a 512-bit RSA
// SubjectPublicKeyInfo, without PEM marker lines.
extern const std::string_view UpdatePublicKey;

}  // namespace update

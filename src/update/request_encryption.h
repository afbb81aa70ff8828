#pragma once
// The installed version travels to the update server only in encrypted form:
// RSA with PKCS #1 v1.5 padding under a compiled-in public key, one block,
// then Base64.

#include <string>

namespace update {

// Turns a bare Base64 key text into PEM in place: a line feed after every 64
// characters (none added where one already stands), then the marker lines.
std::string& FormatPemPublicKey(std::string& text);

// Encrypts `plaintext` under the key in `keyText`, which is rewritten to PEM
// on the way. Returns the Base64 ciphertext (88 characters for a 512-bit key),
// or the empty text when the key cannot be read or the plaintext does not fit
// in one block (at most 53 bytes for a 512-bit key).
std::string EncryptWithPublicKey(const std::string& plaintext, std::string& keyText);

}  // namespace update

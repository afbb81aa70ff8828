#pragma once
// Whether a downloaded JAR is the one the vendor signed. The update server and
// the network may be anyone's; only a signature made with the private half of
// the key built into this program lets a JAR be installed.
//
// The signed message is the ASCII text "wardkeep-jar-sha256:" followed by the
// 64 lowercase hex digits of the SHA-256 of the whole file; the signature is
// Ed25519 (RFC 8032), 64 bytes, sent as Base64.

#include <string>

namespace os {
class ReadOnlyFile;
}

namespace update {

enum class SignatureVerdict {
  NotRequired,  // no signing key built in: the JAR is installed unsigned, as before keys existed
  Valid,
  Missing,     // key built in, no signature in the offer
  Malformed,   // not Base64, or not 64 bytes
  Mismatch,    // does not verify with the built-in key
  Unreadable,  // the file could not be read to its end
  BadKey,      // the built-in key is unusable
};

// Streams the whole file through SHA-256 (flat memory), then verifies the
// Ed25519 signature over the message above with the built-in key
// (update::tunables::jarSigningKey, Base64 of 32 raw bytes; empty = none).
// The file is read through the caller's handle, so the bytes judged are the
// bytes the caller holds.
SignatureVerdict VerifyJarSignature(const os::ReadOnlyFile& jar,
                                    const std::string& signatureBase64);

// Why, as a Chinese fragment for the upgrade's progress line.
std::wstring DescribeSignatureVerdict(SignatureVerdict verdict);

}  // namespace update

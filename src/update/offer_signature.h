#pragma once
// Whether an update offer is the vendor's. The update server and the network
// may be anyone's; only a signature made with the private half of a key built
// into this program lets an offer be downloaded and installed.
//
// What is signed (Ed25519, RFC 8032; the signature is sent as Base64) is this
// text, five lines each ended by one line feed and nothing else:
//   wardkeep-offer-v1
//   product=stock-relay
//   version=<"data"."version" as sent>
//   size=<the JAR's length in bytes, decimal>
//   sha256=<the JAR's SHA-256, 64 lowercase hex digits>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/update_settings.h"

namespace os {
class ReadOnlyFile;
}

namespace update {

// What an offer says the JAR is. A size of -1 and an empty hash are unknown.
struct JarDigest {
  std::int64_t size = -1;
  std::string sha256;
};

std::string OfferSignedText(const std::string& version, std::int64_t size,
                            const std::string& sha256);

// The raw 32-byte keys of a list of Base64 keys separated by commas or
// semicolons (spaces around an entry are allowed). Nothing when any entry is
// not a key or is a point of small order; an empty list for the empty text.
std::optional<std::vector<std::string>> ParseSigningKeys(std::string_view text);

// True for every encoding of a point of order 1, 2, 4 or 8: with such a key
// one forged signature verifies for many messages.
bool IsSmallOrderKey(std::string_view raw);

enum class SigningKeys {
  None,  // no key given: offers are taken unsigned, as before keys existed
  Usable,
  Unusable,  // something is given, but not a list of usable keys
};
SigningKeys SigningKeysIn(const UpdateSettings& settings);

enum class SignatureVerdict {
  Valid,
  Missing,    // no signature in the offer
  Malformed,  // not Base64, or not 64 bytes
  Mismatch,   // verifies with none of the settings' keys
  BadKey,     // the settings' keys are unusable, or there are none
};

// Verifies `signatureBase64` over `signedText` with the settings' signing
// keys; any one of them verifying is enough.
SignatureVerdict VerifyOfferSignature(const UpdateSettings& settings, const std::string& signedText,
                                      const std::string& signatureBase64);

// The length and SHA-256 of everything the handle reads, streamed in flat
// memory; false when a read fails or the file changed length while read.
bool DigestWholeFile(const os::ReadOnlyFile& file, JarDigest& digest);

}  // namespace update

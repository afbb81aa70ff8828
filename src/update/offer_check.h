#pragma once
// The judgement on an update offer, made before a byte of it is downloaded:
// with a signing key built in, only a signed offer of a later version than the
// one this machine has installed is taken.

#include <optional>
#include <string>

#include "update/offer_signature.h"
#include "update/update_check.h"

namespace update {

enum class OfferFault {
  None,
  BadVersion,  // key built in: "version" is not dot-separated numbers
  NoDigest,    // key built in: no "size" or no "sha256"
  BadDigest,   // "size" not a decimal count, or "sha256" not 64 lowercase hex digits
  NoSignature,
  BadSignature,    // not Base64 of 64 bytes
  WrongSignature,  // verifies with none of the built-in keys
  BadKey,          // the built-in keys are unusable
  NotLater,        // signed, but not later than the installed version
};

struct OfferCheck {
  OfferFault fault = OfferFault::None;
  // What the JAR must be: its size bounds the download, its hash and size are
  // compared with the staged copy. Unknown parts stay unknown (no key built
  // in and the offer did not say them).
  JarDigest expected;
};

// `installedVersion` is the highest version this machine has installed, when
// one is recorded; the signing keys are the settings'.
OfferCheck CheckOffer(const UpdateSettings& settings, const UpdateOffer& offer,
                      const std::optional<std::string>& installedVersion);

// Why, as a Chinese fragment for the refusal's progress line.
std::wstring DescribeOfferFault(OfferFault fault);

}  // namespace update

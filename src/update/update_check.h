#pragma once
// Asks the update server whether a newer upload service should be installed,
// and where to download it. The server decides; the client compares nothing.

#include <string>

#include "update/update_settings.h"

namespace update {

// What the update server offers. `size`, `sha256` and `signature` are the
// text forms of those members of "data" as they came, each empty when the
// answer has none; whether they are any good is judged before the download
// (update/offer_check.h).
struct UpdateOffer {
  std::string downloadUrl;
  std::string remoteVersion;
  std::string signature;
  std::string size;
  std::string sha256;
};

// What became of a check, beyond offered or not, so that each outcome can
// be told apart: only a 200 answer that offers nothing is "no update".
enum class CheckOutcome {
  Offered,          // an offer was taken
  NoOffer,          // a 200 answer that offers nothing
  TransportFailed,  // no whole answer; `text` is the network library's
  HttpError,        // an answer of another status; `text` is the status
  EmptyAnswer,      // a 200 answer with an empty body
  Unreadable,       // not JSON, or not of the expected shape; `text` says what
  OfferRefused,     // an offer a rule refuses; `text` says which rule
};
struct CheckResult {
  CheckOutcome kind = CheckOutcome::NoOffer;
  std::string text;
};

// Sends the installed version, encrypted, to the settings' update server and
// reads its answer; `offer` is filled exactly when the outcome is Offered.
CheckResult CheckUpdate(const UpdateSettings& settings, UpdateOffer& offer);

// The request body: {"type":"14","version":"<Base64 ciphertext>"} and a line
// feed. The version is sent as the empty text when encryption fails.
std::string BuildUpdateRequest(const std::string& installedVersion);

// Reads the server's answer. An offer ("flag" 1, a non-empty
// "data"."version" and a location that is http(s) or relative to the
// settings' server) fills all of `offer` and is Offered; any other answer,
// whatever its shape, leaves all of it alone and says why: NoOffer,
// Unreadable or OfferRefused. A "data"."signature", "size" or "sha256" that
// is an object or an array is no offer either.
CheckResult ReadUpdateResponse(const std::string& response, const UpdateSettings& settings,
                               UpdateOffer& offer);

}  // namespace update

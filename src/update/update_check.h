#pragma once
// Asks the update server whether a newer upload service should be installed,
// and where to download it. The server decides; the client compares nothing.

#include <string>

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

// The check with its outcome; `offer` is filled exactly when it is Offered,
// `error` as below.
CheckResult CheckUpdateOutcome(UpdateOffer& offer, std::string& error);

// As below, with the offer's signature as well.
bool CheckUpdate(UpdateOffer& offer, std::string& error);

// Sends the installed version, encrypted, to the update server. Returns true
// exactly when `downloadUrl` is non-empty afterwards. `error` ends up holding
// the POST's transport error text, empty when the POST went through.
bool CheckUpdate(std::string& downloadUrl, std::string& remoteVersion, std::string& error);

// The request body: {"type":"14","version":"<Base64 ciphertext>"} and a line
// feed. The version is sent as the empty text when encryption fails.
std::string BuildUpdateRequest(const std::string& installedVersion);

// Reads the server's answer. An offer ("flag" 1, a non-empty
// "data"."version" and a location that is http(s) or relative to the server)
// sets both outputs; any other answer, whatever its shape, sets neither.
void ParseUpdateResponse(std::string response, std::string& downloadUrl,
                         std::string& remoteVersion);
// The same, filling all of `offer` or leaving all of it alone; a
// "data"."signature", "size" or "sha256" that is an object or an array is no
// offer either.
void ParseUpdateResponse(std::string response, UpdateOffer& offer);
// The same, saying why an answer offers nothing: NoOffer, Unreadable or
// OfferRefused (or Offered).
CheckResult ReadUpdateResponse(std::string response, UpdateOffer& offer);

}  // namespace update

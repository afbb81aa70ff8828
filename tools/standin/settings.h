#pragma once
// What the stand-in answers: one set of scenario settings, filled from the
// command line at start and changed by the control calls while it runs.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

enum class PlatformScenario { Healthy, Fault, Empty, Html, Stall, StallBody, Raw };
enum class VersionMode { Ok, Empty, Html, Stall };
enum class UpdateScenario { None, Offer, OfferRelative, Html, Stall, Raw };
enum class DownloadScenario {
  Normal,
  DropOnce,
  DropAlways,
  IgnoreRange,
  NotFound,
  ServerError,
  Stall,
  EndEarly,  // every GET ends cleanly after drop-after bytes, with no length
  FlipByte,  // every GET carries the byte at drop-after inverted
};
enum class Validators { Both, Etag, LastModified, None };
// What an offer says of its JAR: "data"."size", "sha256" and "signature".
// With the JAR signing key the offer carries the size and hash of the JAR
// served and the signature over them; every scenario but Omit, Empty,
// NotBase64, OtherKey and Text needs the key, and without it the offer
// carries none of the three.
enum class SignatureScenario {
  Valid,         // over this offer
  Omit,          // no "signature" member
  Empty,         // ""
  NotBase64,     // 88 characters that are not Base64
  Short,         // the valid signature less its last byte (63 bytes)
  OtherKey,      // over this offer, with a key made for the purpose
  OtherHash,     // over the hash of this JAR with one more byte at its end
  OtherSize,     // over a size one byte larger
  OtherVersion,  // over another version ("<version>.1")
  OldFormat,     // over "wardkeep-jar-sha256:<hex>", not the offer
  OtherJar,      // a valid offer of this JAR with one more byte: not the JAR served
  Text,          // signature-text, verbatim
};

struct Settings {
  PlatformScenario platform = PlatformScenario::Healthy;
  std::string faultText = "database connection lost";
  std::vector<std::string> erpNames;
  std::string platformBody;
  int platformStatus = 200;
  std::string versionText = "v1.0.0";
  VersionMode versionMode = VersionMode::Ok;

  UpdateScenario update = UpdateScenario::None;
  std::string offerVersion = "2.0.0";
  std::string offerUrl;  // empty: the stand-in's own JAR, absolute or relative
  bool flagAsString = false;
  long updateDelayMs = 8000;
  std::string updateBody;
  int updateStatus = 200;
  std::string updateLocation;  // a Location header on the raw answer, if any
  SignatureScenario signature = SignatureScenario::Valid;
  std::string signatureText;

  DownloadScenario download = DownloadScenario::Normal;
  std::int64_t dropAfter = 65536;
  std::string jarPath;  // empty: generated content
  std::int64_t jarSize = 1 << 20;
  std::int64_t revision = 1;  // of the generated JAR
  Validators validators = Validators::Both;
  bool honourIfRange = true;

  long stallSeconds = 3600;
};

// Applies one option by its name without the leading dashes ("platform",
// "fault-text", "erp", ...). Flags take "true"/"false" or an empty value.
// Returns false with `error` filled when the name or the value is unknown.
bool ApplyOption(Settings& settings, const std::string& name, const std::string& value,
                 std::string& error);
// True for the options that take no value on the command line.
bool IsFlagOption(const std::string& name);

std::string Describe(PlatformScenario scenario);
std::string Describe(VersionMode mode);
std::string Describe(UpdateScenario scenario);
std::string Describe(DownloadScenario scenario);
std::string Describe(Validators validators);
std::string Describe(SignatureScenario scenario);

}  // namespace standin

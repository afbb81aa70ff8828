#include "settings.h"

#include <array>
#include <charconv>
#include <fstream>
#include <sstream>
#include <utility>

namespace standin {

namespace {

template <typename Enum, std::size_t N>
bool ParseEnum(const std::array<std::pair<const char*, Enum>, N>& names, const std::string& value,
               Enum& out) {
  for (const auto& [name, item] : names) {
    if (value == name) {
      out = item;
      return true;
    }
  }
  return false;
}

template <typename Enum, std::size_t N>
std::string NameOf(const std::array<std::pair<const char*, Enum>, N>& names, Enum item) {
  for (const auto& [name, candidate] : names) {
    if (candidate == item) return name;
  }
  return "?";
}

constexpr std::array<std::pair<const char*, PlatformScenario>, 7> kPlatformNames{{
    {"healthy", PlatformScenario::Healthy},
    {"fault", PlatformScenario::Fault},
    {"empty", PlatformScenario::Empty},
    {"html", PlatformScenario::Html},
    {"stall", PlatformScenario::Stall},
    {"stall-body", PlatformScenario::StallBody},
    {"raw", PlatformScenario::Raw},
}};
constexpr std::array<std::pair<const char*, VersionMode>, 4> kVersionNames{{
    {"ok", VersionMode::Ok},
    {"empty", VersionMode::Empty},
    {"html", VersionMode::Html},
    {"stall", VersionMode::Stall},
}};
constexpr std::array<std::pair<const char*, UpdateScenario>, 6> kUpdateNames{{
    {"none", UpdateScenario::None},
    {"offer", UpdateScenario::Offer},
    {"offer-relative", UpdateScenario::OfferRelative},
    {"html", UpdateScenario::Html},
    {"stall", UpdateScenario::Stall},
    {"raw", UpdateScenario::Raw},
}};
constexpr std::array<std::pair<const char*, DownloadScenario>, 9> kDownloadNames{{
    {"normal", DownloadScenario::Normal},
    {"drop-once", DownloadScenario::DropOnce},
    {"drop-always", DownloadScenario::DropAlways},
    {"ignore-range", DownloadScenario::IgnoreRange},
    {"404", DownloadScenario::NotFound},
    {"500", DownloadScenario::ServerError},
    {"stall", DownloadScenario::Stall},
    {"end-early", DownloadScenario::EndEarly},
    {"flip-byte", DownloadScenario::FlipByte},
}};

constexpr std::array<std::pair<const char*, Validators>, 4> kValidatorNames{{
    {"both", Validators::Both},
    {"etag", Validators::Etag},
    {"last-modified", Validators::LastModified},
    {"none", Validators::None},
}};

constexpr std::array<std::pair<const char*, SignatureScenario>, 12> kSignatureNames{{
    {"valid", SignatureScenario::Valid},
    {"omit", SignatureScenario::Omit},
    {"empty", SignatureScenario::Empty},
    {"not-base64", SignatureScenario::NotBase64},
    {"short", SignatureScenario::Short},
    {"other-key", SignatureScenario::OtherKey},
    {"other-hash", SignatureScenario::OtherHash},
    {"other-size", SignatureScenario::OtherSize},
    {"other-version", SignatureScenario::OtherVersion},
    {"old-format", SignatureScenario::OldFormat},
    {"other-jar", SignatureScenario::OtherJar},
    {"text", SignatureScenario::Text},
}};

template <typename Number>
bool ParseNumber(const std::string& value, Number& out, Number minimum) {
  Number parsed{};
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (ec != std::errc() || end != value.data() + value.size() || parsed < minimum) return false;
  out = parsed;
  return true;
}

// Bodies larger than a command line may carry.
bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  out = bytes.str();
  return true;
}

}  // namespace

bool IsFlagOption(const std::string& name) {
  return name == "no-erp";
}

bool ApplyOption(Settings& s, const std::string& name, const std::string& value,
                 std::string& error) {
  bool ok = true;
  if (name == "platform") {
    ok = ParseEnum(kPlatformNames, value, s.platform);
  } else if (name == "fault-text") {
    s.faultText = value;
  } else if (name == "erp") {
    s.erpNames.push_back(value);
  } else if (name == "no-erp") {
    ok = value.empty() || value == "true";
    if (ok) s.erpNames.clear();
  } else if (name == "platform-body") {
    s.platformBody = value;
  } else if (name == "platform-body-file") {
    ok = ReadWholeFile(value, s.platformBody);
  } else if (name == "platform-status") {
    ok = ParseNumber(value, s.platformStatus, 100) && s.platformStatus <= 599;
  } else if (name == "version-text") {
    s.versionText = value;
  } else if (name == "version-mode") {
    ok = ParseEnum(kVersionNames, value, s.versionMode);
  } else if (name == "update") {
    ok = ParseEnum(kUpdateNames, value, s.update);
  } else if (name == "offer-version") {
    s.offerVersion = value;
  } else if (name == "offer-url") {
    s.offerUrl = value;
  } else if (name == "flag") {
    ok = value == "string" || value == "number";
    if (ok) s.flagAsString = value == "string";
  } else if (name == "update-delay") {
    ok = ParseNumber(value, s.updateDelayMs, 0L);
  } else if (name == "update-body") {
    s.updateBody = value;
  } else if (name == "update-body-file") {
    ok = ReadWholeFile(value, s.updateBody);
  } else if (name == "update-location") {
    s.updateLocation = value;
  } else if (name == "update-status") {
    ok = ParseNumber(value, s.updateStatus, 100) && s.updateStatus <= 599;
  } else if (name == "signature") {
    ok = ParseEnum(kSignatureNames, value, s.signature);
  } else if (name == "signature-text") {
    s.signatureText = value;
  } else if (name == "download") {
    ok = ParseEnum(kDownloadNames, value, s.download);
  } else if (name == "drop-after") {
    ok = ParseNumber(value, s.dropAfter, std::int64_t{0});
  } else if (name == "jar") {
    s.jarPath = value;
  } else if (name == "jar-size") {
    ok = ParseNumber(value, s.jarSize, std::int64_t{4});
  } else if (name == "revision") {
    ok = ParseNumber(value, s.revision, std::int64_t{1});
  } else if (name == "validators") {
    ok = ParseEnum(kValidatorNames, value, s.validators);
  } else if (name == "if-range") {
    ok = value == "honour" || value == "ignore";
    if (ok) s.honourIfRange = value == "honour";
  } else if (name == "stall-seconds") {
    ok = ParseNumber(value, s.stallSeconds, 0L);
  } else {
    error = "unknown option '" + name + "'";
    return false;
  }
  if (!ok) error = "bad value '" + value + "' for '" + name + "'";
  return ok;
}

std::string Describe(PlatformScenario scenario) {
  return NameOf(kPlatformNames, scenario);
}
std::string Describe(VersionMode mode) {
  return NameOf(kVersionNames, mode);
}
std::string Describe(UpdateScenario scenario) {
  return NameOf(kUpdateNames, scenario);
}
std::string Describe(DownloadScenario scenario) {
  return NameOf(kDownloadNames, scenario);
}
std::string Describe(Validators validators) {
  return NameOf(kValidatorNames, validators);
}
std::string Describe(SignatureScenario scenario) {
  return NameOf(kSignatureNames, scenario);
}

}  // namespace standin

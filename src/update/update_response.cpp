#include <json/value.h>

#include <cctype>
#include <optional>
#include <utility>

#include "http/url_scheme.h"
#include "text/json_member.h"
#include "text/json_parse.h"
#include "text/json_text.h"
#include "update/update_check.h"

namespace update {

namespace {

// A character as <cctype> takes it: a byte of UTF-8 text may be negative as a char.
unsigned char Byte(char c) {
  return static_cast<unsigned char>(c);
}

// Objects and arrays have a text form ("object", "array object"), but it is
// not a version or a location; only scalars and null are read.
bool IsScalarOrNull(const Json::Value& value) {
  return !value.isObject() && !value.isArray();
}

// "scheme:" at the start, as in "gopher:", "file:", "ftp:".
bool HasScheme(const std::string& location) {
  const std::size_t colon = location.find(':');
  if (colon == std::string::npos || colon == 0 || !std::isalpha(Byte(location[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = location[i];
    if (!std::isalnum(Byte(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

// Where to download from: an http(s) location as it is, anything without a
// scheme after the update server `base`. Refused (with the rule, as the line
// shows it) for every other scheme, and for plain HTTP when the update server
// itself is reached over HTTPS: the package would otherwise arrive unprotected
// after a protected offer.
std::string DownloadLocation(const std::string& location, const std::string& base,
                             std::string& url) {
  if (comm::http::IsHttpUrl(location)) {
    url = location;
  } else if (HasScheme(location)) {
    return "下载地址不是http或https: " + location.substr(0, location.find(':') + 1);
  } else {
    url = base + location;
  }
  if (!comm::http::IsHttpUrl(url)) return "下载地址不是http或https";
  if (!comm::http::IsHttpsUrl(url) && comm::http::IsHttpsUrl(base)) {
    return "HTTPS更新服务器提供了HTTP下载地址";
  }
  return {};
}

}  // namespace

CheckResult ReadUpdateResponse(const std::string& response, const UpdateSettings& settings,
                               UpdateOffer& offer) {
  const std::optional<Json::Value> document = text::ParseJson(response);
  if (!document) return {CheckOutcome::Unreadable, "不是JSON"};
  const Json::Value& root = *document;
  // Every member access below is on an object or null, the only values
  // jsoncpp lets us index by name without throwing.
  if (!root.isObject() && !root.isNull()) return {CheckOutcome::Unreadable, "不是JSON对象"};
  if (text::JsonValueToText(root["flag"]) != "1") return {CheckOutcome::NoOffer, {}};

  const Json::Value& data = root["data"];
  Json::Value version;
  Json::Value url;
  Json::Value signature;
  Json::Value size;
  Json::Value sha256;
  if (!text::MemberOrNull(data, "version", version) || !text::MemberOrNull(data, "url", url) ||
      !text::MemberOrNull(data, "signature", signature) ||
      !text::MemberOrNull(data, "size", size) || !text::MemberOrNull(data, "sha256", sha256)) {
    return {CheckOutcome::Unreadable, "\"data\"不是对象"};
  }
  if (!IsScalarOrNull(version) || !IsScalarOrNull(url) || !IsScalarOrNull(signature) ||
      !IsScalarOrNull(size) || !IsScalarOrNull(sha256)) {
    return {CheckOutcome::Unreadable, "\"data\"的成员不是简单值"};
  }

  const std::string v = text::JsonValueToText(version);
  if (v.empty()) return {CheckOutcome::NoOffer, {}};

  std::string u;
  if (std::string refusal = DownloadLocation(text::JsonValueToText(url), settings.serverUrl, u);
      !refusal.empty()) {
    return {CheckOutcome::OfferRefused, std::move(refusal)};
  }

  offer.signature = text::JsonValueToText(signature);
  offer.size = text::JsonValueToText(size);
  offer.sha256 = text::JsonValueToText(sha256);
  offer.remoteVersion = v;
  offer.downloadUrl = u;
  return {CheckOutcome::Offered, {}};
}

}  // namespace update

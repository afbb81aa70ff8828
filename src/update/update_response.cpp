#include <json/reader.h>
#include <json/value.h>

#include <exception>

#include "text/json_text.h"
#include "update/update_check.h"
#include "update/update_config.h"

namespace {

// Objects and arrays have a text form ("object", "array object"), but it is
// not a version or a location; only scalars and null are read.
bool IsScalarOrNull(const Json::Value& value) {
  return !value.isObject() && !value.isArray();
}

bool ParseDocument(const std::string& text, Json::Value& root) {
  // The reader throws rather than fails on documents nested too deeply.
  try {
    return Json::Reader().parse(text, root, true);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void ParseUpdateResponse(std::string response, std::string& downloadUrl,
                         std::string& remoteVersion) {
  Json::Value document;
  if (!ParseDocument(response, document)) return;
  const Json::Value& root = document;
  // Every member access below is on an object or null, the only values
  // jsoncpp lets us index by name without throwing.
  if (!root.isObject() && !root.isNull()) return;
  if (JsonValueToText(root["flag"]) != "1") return;

  const Json::Value& data = root["data"];
  if (!data.isObject() && !data.isNull()) return;

  const Json::Value& version = data["version"];
  const Json::Value& url = data["url"];
  if (!IsScalarOrNull(version) || !IsScalarOrNull(url)) return;

  const std::string v = JsonValueToText(version);
  if (v.empty()) return;

  std::string u = JsonValueToText(url);
  if (u.find("http") == std::string::npos) u = UpdateServerBaseUrl.Get() + u;

  remoteVersion = v;
  downloadUrl = u;
}

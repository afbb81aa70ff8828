#include "platform_client/version_query.h"

#include <optional>

#include "http/http_session.h"
#include "platform_client/json_report.h"
#include "platform_client/tunables.h"
#include "text/json_parse.h"
#include "text/json_text.h"

namespace platform_client {

namespace {

const char kNoVersion[] = "v0.0.0";

// "Vellun价签服务异常，请联系管理员：" in code page 936 (GBK).
const char kFaultPrefixGbk[] =
    "Vellun\xbc\xdb\xc7\xa9\xb7\xfe\xce\xf1\xd2\xec\xb3\xa3\xa3\xac\xc7\xeb\xc1\xaa\xcf\xb5\xb9\xdc"
    "\xc0\xed\xd4\xb1\xa3\xba";

}  // namespace

std::string QueryInstalledVersion(std::string& message) {
  std::string error;
  std::string body = HttpSession(tunables::baseUrl.Get() + "/api/openApi/version").Get("", error);
  if (!body.empty() && error.empty()) return ParseVersionReport(body);
  message = kFaultPrefixGbk + error;
  return kNoVersion;
}

std::string ParseVersionReport(std::string json) {
  const std::optional<Json::Value> root = text::ParseJson(json);
  Json::Value data;
  if (!root || !MemberOf(*root, "data", data)) return kNoVersion;
  std::string version = text::JsonValueToText(data);
  return version.empty() ? kNoVersion : version;
}

}  // namespace platform_client

#include "platform_client/version_query.h"

#include <optional>
#include <utility>

#include "http/http_session.h"
#include "text/json_member.h"
#include "text/json_parse.h"
#include "text/json_text.h"

namespace platform_client {

namespace {

const char kNoVersion[] = "v0.0.0";

}  // namespace

std::string QueryInstalledVersion(const std::string& baseUrl) {
  if (baseUrl.empty()) return kNoVersion;
  comm::http::ExchangeResult answer =
      comm::http::HttpSession(baseUrl + "/api/openApi/version").Get("");
  if (answer.Answered() && !answer.body.empty()) return ParseVersionReport(std::move(answer.body));
  return kNoVersion;
}

std::string ParseVersionReport(std::string json) {
  const std::optional<Json::Value> root = text::ParseJson(json);
  Json::Value data;
  if (!root || !text::MemberOrNull(*root, "data", data)) return kNoVersion;
  std::string version = text::JsonValueToText(data);
  return version.empty() ? kNoVersion : version;
}

}  // namespace platform_client

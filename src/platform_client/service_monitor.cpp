#include "platform_client/service_monitor.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "http/http_session.h"
#include "platform_client/tunables.h"
#include "text/json_member.h"
#include "text/json_parse.h"
#include "text/json_text.h"
#include "text/shown_text.h"
#include "text/utf8.h"

namespace {

namespace tunables = platform_client::tunables;

const wchar_t kFaultPrefix[] = L"Vellun价签服务异常，请联系管理员：";

// "1 MiB", "300 KiB" or "1000 字节".
std::wstring SizeText(std::size_t bytes) {
  if (bytes % (1024 * 1024) == 0) return std::to_wstring(bytes / (1024 * 1024)) + L" MiB";
  if (bytes % 1024 == 0) return std::to_wstring(bytes / 1024) + L" KiB";
  return std::to_wstring(bytes) + L" 字节";
}

std::wstring TooLarge(const std::wstring& limit) {
  return kFaultPrefix + (L"健康报告过大（超过" + limit + L"），未读取");
}

struct Fault {
  std::string text;
  std::string erpName;  // the last non-empty one, or empty
};

// "ok" read the way jsoncpp converts to bool; nothing for a string, array or
// object, which it refuses.
std::optional<bool> ReadOk(const Json::Value& ok) {
  if (ok.isNull()) return false;
  if (ok.isBool() || ok.isNumeric()) return ok.asBool();
  return std::nullopt;
}

// Reads an unhealthy report. Nothing when any part has a shape member access
// would refuse, so a malformed report changes nothing but the verdict.
std::optional<Fault> ReadFault(const Json::Value& root, const Json::Value& exception) {
  Json::Value content, config;
  if (!text::MemberOrNull(exception, "expContent", content)) return std::nullopt;
  if (!text::MemberOrNull(root, "configDto", config)) return std::nullopt;

  Fault fault{text::JsonValueToText(content), {}};
  if (!config.isArray()) return fault;
  for (Json::ArrayIndex i = 0; i < config.size(); ++i) {
    Json::Value name;
    if (!text::MemberOrNull(config[i], "erpName", name)) return std::nullopt;
    std::string text = text::JsonValueToText(name);
    if (!text.empty()) fault.erpName = std::move(text);
  }
  return fault;
}

}  // namespace

namespace platform_client {

bool ServiceMonitor::CheckHealth(const std::string& baseUrl, std::wstring& message) {
  comm::http::ExchangeResult answer;
  {
    // Gone before the parse, with the copy of the body it holds.
    comm::http::HttpSession session(baseUrl + "/");
    session.SetResponseLimit(tunables::healthAnswerLimit.Get());
    answer = session.Get("");
  }
  if (answer.status == comm::http::ExchangeStatus::TooLarge) {
    message = TooLarge(SizeText(tunables::healthAnswerLimit.Get()));
    return false;
  }
  if (answer.Answered() && !answer.body.empty()) {
    return ParseHealthReport(std::move(answer.body), message);
  }
  // libcurl's texts are ASCII, so this never replaces anything.
  message = kFaultPrefix + text::Utf8ToWideReplacing(answer.text);
  return false;
}

bool ServiceMonitor::ParseHealthReport(std::string json, std::wstring& message) {
  // The parse's memory grows with the values, not the length: a report with
  // more than the bound is a fault, like one that is too long.
  if (text::JsonValuesAtMost(json) > tunables::healthReportValueLimit.Get()) {
    message = TooLarge(std::to_wstring(tunables::healthReportValueLimit.Get()) + L"个JSON值");
    return false;
  }
  // An answer that is not JSON at all counts as healthy.
  const std::optional<Json::Value> parsed = text::ParseJson(json);
  if (!parsed) return true;
  const Json::Value& root = *parsed;

  Json::Value exception, ok;
  if (!text::MemberOrNull(root, "exceptionDto", exception) ||
      !text::MemberOrNull(exception, "ok", ok)) {
    message.clear();
    return false;
  }
  std::optional<bool> healthy = ReadOk(ok);
  if (healthy == true) return true;

  std::optional<Fault> fault;
  if (healthy.has_value()) fault = ReadFault(root, exception);
  if (!fault) {
    message.clear();
    return false;
  }
  // Text from outside is shown even when it is not valid UTF-8, but never
  // with characters that would act on the window or the terminal instead of
  // being read, and never longer than a status box can sensibly hold.
  message = text::ShownText(text::Utf8ToWideReplacing(fault->text));
  if (!fault->erpName.empty()) {
    erpName = text::ShownText(text::Utf8ToWideReplacing(fault->erpName));
  }
  return false;
}

}  // namespace platform_client

#include "text/json_text.h"

#include <charconv>

namespace text {

namespace {

std::string FixedSixDecimals(double value) {
  // to_chars ignores the process locale, which "%f" would not.
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return {};
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string JsonValueToText(const Json::Value& value) {
  switch (value.type()) {
    case Json::nullValue:
      return {};
    case Json::intValue:
      // Beyond 32 bits the full number, rather than jsoncpp's exception.
      return std::to_string(value.asLargestInt());
    case Json::uintValue:
      return std::to_string(value.asLargestUInt());
    case Json::realValue:
      return FixedSixDecimals(value.asDouble());
    case Json::stringValue:
      return value.asString();
    case Json::booleanValue:
      return value.asBool() ? "true" : "false";
    case Json::arrayValue:
      return "array object";
    case Json::objectValue:
      return "object";
  }
  return {};
}

}  // namespace text

#pragma once
// Parsing of the platform service's answers, shared by its two endpoints.

#include <json/value.h>

#include <string>

namespace platform_client {

// Parses `json` the lenient way (comments allowed). False when it is not JSON,
// which includes documents nested deeper than the reader goes.
bool ParseReport(const std::string& json, Json::Value& root);

// The member `name` of an object, or null for a null value. False when `value`
// is neither, where jsoncpp's member access would throw.
bool MemberOf(const Json::Value& value, const char* name, Json::Value& member);

}  // namespace platform_client

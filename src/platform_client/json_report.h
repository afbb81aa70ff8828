#pragma once
// Reading the platform service's answers, shared by its two endpoints.

#include <json/value.h>

#include <string>

namespace platform_client {

// The member `name` of an object, or null for a null value. False when `value`
// is neither, where jsoncpp's member access would throw.
bool MemberOf(const Json::Value& value, const char* name, Json::Value& member);

}  // namespace platform_client

#pragma once
// Reading a member out of a JSON answer whose shape nobody vouches for.

#include <json/value.h>

namespace text {

// The member `name` of an object (null when it has none), or null for a null
// value. False when `value` is neither, where jsoncpp's member access would
// throw.
bool MemberOrNull(const Json::Value& value, const char* name, Json::Value& member);

}  // namespace text

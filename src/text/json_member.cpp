#include "text/json_member.h"

namespace text {

bool MemberOrNull(const Json::Value& value, const char* name, Json::Value& member) {
  if (value.isNull()) {
    member = Json::Value();
    return true;
  }
  if (!value.isObject()) return false;
  member = value[name];
  return true;
}

}  // namespace text

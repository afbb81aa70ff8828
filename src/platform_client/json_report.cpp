#include "platform_client/json_report.h"

namespace platform_client {

bool MemberOf(const Json::Value& value, const char* name, Json::Value& member) {
  if (value.isNull()) {
    member = Json::Value();
    return true;
  }
  if (!value.isObject()) return false;
  member = value[name];
  return true;
}

}  // namespace platform_client

#include "platform_client/json_report.h"

// Json::Reader is deprecated in favour of CharReaderBuilder, but its default
// settings are exactly the leniency these answers are read with.
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
#include <json/reader.h>

#include <exception>

namespace platform_client {

bool ParseReport(const std::string& json, Json::Value& root) {
  // The reader throws rather than fails on documents nested too deeply.
  try {
    Json::Reader reader;
    return reader.parse(json, root);
  } catch (const std::exception&) {
    root = Json::Value();
    return false;
  }
}

#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

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

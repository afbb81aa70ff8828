#include "text/json_parse.h"

// Json::Reader is deprecated in favour of CharReaderBuilder, but its default
// settings are exactly the leniency the answers are read with.
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
#include <json/reader.h>

#include <exception>

namespace text {

std::optional<Json::Value> ParseJson(const std::string& text) {
  try {
    Json::Value root;
    Json::Reader reader;
    if (!reader.parse(text, root)) return std::nullopt;
    return root;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace text

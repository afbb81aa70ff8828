#include "text/json_parse.h"

// Json::Reader is deprecated in favour of CharReaderBuilder, but its default
// settings are exactly the leniency the answers are read with (the build
// silences the deprecation for this file alone).
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

}  // namespace text

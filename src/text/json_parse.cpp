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

std::size_t JsonValuesAtMost(const std::string& text) {
  enum class In { Json, String, LineComment, BlockComment } in = In::Json;
  std::size_t count = 1;
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char c = text[i];
    const char next = i + 1 < size ? text[i + 1] : '\0';
    switch (in) {
      case In::Json:
        if (c == '[' || c == '{' || c == ',') {
          ++count;
        } else if (c == '"') {
          in = In::String;
        } else if (c == '/' && (next == '/' || next == '*')) {
          ++count;
          in = next == '/' ? In::LineComment : In::BlockComment;
          ++i;
        }
        break;
      case In::String:
        if (c == '\\') {
          ++i;  // the escaped character, a quote included
        } else if (c == '"') {
          in = In::Json;
        }
        break;
      case In::LineComment:
        if (c == '\n' || c == '\r') in = In::Json;
        break;
      case In::BlockComment:
        if (c == '*' && next == '/') {
          in = In::Json;
          ++i;
        }
        break;
    }
  }
  return count;
}

}  // namespace text

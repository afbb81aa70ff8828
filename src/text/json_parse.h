#pragma once
// The one way an answer's text becomes a JSON document.

#include <json/value.h>

#include <cstddef>
#include <optional>
#include <string>

namespace text {

// Parses `text` the lenient way (comments allowed). Empty when it is not JSON,
// which includes a document nested deeper than the reader's limit: the reader
// throws there, and nothing it throws gets past this function.
std::optional<Json::Value> ParseJson(const std::string& text);

// At least as many as the values and comments ParseJson builds from `text`,
// counted without building them: every value but the first follows a "[",
// "{" or ",", and every comment starts with a "/", outside strings and
// comments. Text that is not JSON counts what a parse builds before it fails.
std::size_t JsonValuesAtMost(const std::string& text);

}  // namespace text

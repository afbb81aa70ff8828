// Every value of a document read the way the platform's answers are read
// becomes text by the one rule.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/json_parse.h"
#include "text/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<Json::Value> parsed = text::ParseJson(text);
    if (!parsed) return 0;
    const Json::Value& root = *parsed;
    // An explicit stack: the walk's depth must not depend on the input.
    std::vector<const Json::Value*> pending{&root};
    while (!pending.empty()) {
      const Json::Value* value = pending.back();
      pending.pop_back();
      const std::string shown = text::JsonValueToText(*value);
      if (value->isString() && shown != value->asString()) __builtin_trap();
      if (value->isArray() || value->isObject()) {
        for (const Json::Value& child : *value) pending.push_back(&child);
      }
    }
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}

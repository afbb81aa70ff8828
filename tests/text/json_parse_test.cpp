#include "text/json_parse.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>

namespace {

std::string NestedObjects(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += R"({"a":)";
  return text + "1" + std::string(depth, '}');
}

TEST(ParseJson, ReadsLenientlyAndRefusesWhatIsNotJson) {
  struct Case {
    const char* name;
    std::string text;
    bool parsed;
  } cases[] = {
      {"object", R"({"flag":"1"})", true},
      {"comments", "// answer\n{\"flag\": /* one */ \"1\"}", true},
      {"bare scalar", "14", true},
      {"empty", "", false},
      {"cut short", R"({"flag":)", false},
      {"not JSON", "<html>", false},
      // The reader throws here instead of failing.
      {"nested too deep", std::string(5000, '[') + std::string(5000, ']'), false},
      {"objects nested too deep", NestedObjects(5000), false},
      {"objects nested within the limit", NestedObjects(100), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::ParseJson(c.text).has_value(), c.parsed) << c.name;
  }
}

TEST(ParseJson, KeepsTheDocument) {
  const std::optional<Json::Value> root = text::ParseJson(R"({"data": {"version": "v1.2"}})");
  ASSERT_TRUE(root);
  EXPECT_EQ((*root)["data"]["version"].asString(), "v1.2");
}

// Values and comments of a parsed document, as the reader built them.
std::size_t Built(const Json::Value& value) {
  std::size_t count = 1;
  for (Json::CommentPlacement at :
       {Json::commentBefore, Json::commentAfterOnSameLine, Json::commentAfter}) {
    if (value.hasComment(at)) ++count;
  }
  if (value.isArray() || value.isObject()) {
    for (const Json::Value& member : value) count += Built(member);
  }
  return count;
}

TEST(JsonValuesAtMost, NeverFewerThanTheParseBuilds) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t bound;
  } cases[] = {
      {"scalar", "14", 1},
      {"array", "[1,2,3]", 4},
      {"empty containers", "[[],{}]", 5},
      {"object", R"({"a":1,"b":[true,null]})", 5},
      {"brackets and commas in strings", R"(["[{,", "a\"[,", "\\"])", 4},
      {"comments", "/* [,{ */ [1, // ,,\n 2 /* \" */]", 6},
      {"line comment ended by a carriage return", "[1 //,\r,2]", 4},
      {"slash in a string", R"(["//", "/*"])", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(text::JsonValuesAtMost(c.text), c.bound);
    const std::optional<Json::Value> parsed = text::ParseJson(c.text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_GE(c.bound, Built(*parsed));
  }
}

}  // namespace

#include "text/json_parse.h"

#include <gtest/gtest.h>

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

}  // namespace

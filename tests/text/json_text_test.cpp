#include "text/json_text.h"

#include <gtest/gtest.h>
#include <json/reader.h>

#include <string>

namespace {

Json::Value Parse(const std::string& text) {
  Json::Value root;
  Json::Reader reader;
  EXPECT_TRUE(reader.parse("[" + text + "]", root)) << text;
  return root[0];
}

TEST(JsonValueToText, EachTypeHasItsText) {
  struct Case {
    const char* json;
    const char* text;
  } cases[] = {
      {"null", ""},
      {"3", "3"},
      {"-7", "-7"},
      {"2147483647", "2147483647"},
      {"2147483648", "2147483648"},  // read as unsigned
      {"4294967295", "4294967295"},
      {"-2147483648", "-2147483648"},
      {"0.1", "0.100000"},
      {"1.5", "1.500000"},
      {"2.0", "2.000000"},
      {"1e3", "1000.000000"},
      {"true", "true"},
      {"false", "false"},
      {"\"14\"", "14"},
      {"\"\\u670d\"", "\xE6\x9C\x8D"},
      {"[]", "array object"},
      {"[1,2]", "array object"},
      {"{}", "object"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::JsonValueToText(Parse(c.json)), c.text) << c.json;
  }
  EXPECT_EQ(text::JsonValueToText(Json::Value()), "");
}

TEST(JsonValueToText, IntegersBeyondThirtyTwoBitsGiveTheirFullDigits) {
  EXPECT_EQ(text::JsonValueToText(Parse("4294967296")), "4294967296");
  EXPECT_EQ(text::JsonValueToText(Parse("-2147483649")), "-2147483649");
  EXPECT_EQ(text::JsonValueToText(Parse("18446744073709551615")), "18446744073709551615");
  EXPECT_EQ(text::JsonValueToText(Parse("-9223372036854775808")), "-9223372036854775808");
}

}  // namespace

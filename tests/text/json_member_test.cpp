#include "text/json_member.h"

#include <gtest/gtest.h>

#include <string>

#include "text/json_parse.h"

namespace {

TEST(MemberOrNull, ObjectsAndNullAnswerEverythingElseIsRefused) {
  const struct {
    const char* document;
    bool readable;
    const char* member;  // the member as JSON, for a readable document
  } cases[] = {
      {R"({"data":"v1.2"})", true, R"("v1.2")"},
      {R"({"data":{"url":1}})", true, R"({"url":1})"},
      {R"({"other":1})", true, "null"},
      {R"({"data":null})", true, "null"},
      {"null", true, "null"},
      {R"(["data"])", false, ""},
      {R"("data")", false, ""},
      {"7", false, ""},
      {"true", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.document);
    const auto document = text::ParseJson(c.document);
    ASSERT_TRUE(document.has_value());
    Json::Value member("untouched");
    ASSERT_EQ(text::MemberOrNull(*document, "data", member), c.readable);
    if (c.readable) {
      EXPECT_EQ(member, *text::ParseJson(c.member));
    } else {
      EXPECT_EQ(member, Json::Value("untouched"));
    }
  }
}

}  // namespace

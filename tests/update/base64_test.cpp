#include "update/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Base64Decode, AcceptsOnlyTheOneTextOfEachByteSequence) {
  struct Case {
    const char* name;
    std::string text;
    bool accepted;
    std::string bytes;  // when accepted
  };
  const Case cases[] = {
      {"no padding", "TWFu", true, "Man"},
      {"one padding", "TWE=", true, "Ma"},
      {"two padding", "TQ==", true, "M"},
      {"both extra characters", "+/+/", true, "\xfb\xff\xbf"},
      {"zero bytes", "AAAA", true, std::string(3, '\0')},
      {"empty", "", false, ""},
      {"not a whole group", "TWF", false, ""},
      {"padding missing", "TQ", false, ""},
      {"three padding", "T===", false, ""},
      {"padding inside", "TQ==TWFu", false, ""},
      {"padding in the middle of a group", "T=E=", false, ""},
      {"stray bits before one padding", "TWF=", false, ""},
      {"stray bits before two padding", "TR==", false, ""},
      {"line break", "TWFu\nTWFu", false, ""},
      {"space", "TWFu TWE=", false, ""},
      {"URL-safe alphabet", "-_-_", false, ""},
      {"a NUL byte", std::string("TW\0u", 4), false, ""},
      {"beyond ASCII", "TWF\xc3", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "<untouched>";
    EXPECT_EQ(update::Base64Decode(c.text, bytes), c.accepted);
    EXPECT_EQ(bytes, c.accepted ? c.bytes : "<untouched>");
  }
}

TEST(Base64Decode, UndoesTheEncoderForEveryLengthAndByte) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) {
    bytes += static_cast<char>(255 - i);
    const std::string text =
        update::Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), i + 1);
    std::string decoded;
    ASSERT_TRUE(update::Base64Decode(text, decoded)) << text;
    ASSERT_EQ(decoded, bytes);
  }
}

}  // namespace

#include "unicode/utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct DecodeCase {
  std::string utf8;
  std::wstring replacing;  // what the replacing decoder gives
  bool wellFormed;         // whether the strict decoder gives the same
};

TEST(DecodeUtf8, OneRuleSetForStrictAndReplacingDecoding) {
  const wchar_t d800[] = {static_cast<wchar_t>(0xD800), L'\0'};
  const DecodeCase cases[] = {
      {"", L"", true},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},
      {"\xDF\xBF\xE0\xA0\x80", L"\u07FF\u0800", true},
      {"\xEF\xBF\xBF\xF0\x90\x80\x80", L"\uFFFF\U00010000", true},
      {"\xF4\x8F\xBF\xBF", L"\U0010FFFF", true},
      // Overlong forms of every length decode, the five-byte one included.
      {"\xC0\x80", std::wstring(1, L'\0'), true},
      {"\xC1\xBF\xE0\x80\xAF", L"\x7F/", true},
      {"\xF8\x80\x80\x80\xAF", L"/", true},
      // An encoded surrogate is one unit, as it was written.
      {"\xED\xA0\x80", d800, true},
      // Each byte that cannot start or continue a sequence is one U+FFFD.
      {"ab\xE6\x9C", L"ab\xFFFD\xFFFD", false},
      {"\xE6z", L"\xFFFDz", false},
      {"\x80\xBF", L"\xFFFD\xFFFD", false},
      {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD", false},
      {"\xFE\xFF", L"\xFFFD\xFFFD", false},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(unicode::DecodeUtf8Replacing(c.utf8), c.replacing);
    std::optional<std::wstring> strict = unicode::DecodeUtf8(c.utf8);
    ASSERT_EQ(strict.has_value(), c.wellFormed);
    if (strict) {
      EXPECT_EQ(*strict, c.replacing);
    }
  }
}

// Names from the file system: only the shortest form of a character counts, so
// no byte sequence but 2F can become "/" and none but 2E can become ".".
TEST(DecodeUtf8, ShortestFormsOnlyForNames) {
  const struct {
    std::string utf8;
    std::wstring wide;
  } cases[] = {
      {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xF4\x8F\xBF\xBF", L"\x80\u07FF\u0800\U0010FFFF"},
      {"\xC0\xAF", L"\xFFFD\xFFFD"},
      {"\xC0\xAE\xC0\xAE", L"\xFFFD\xFFFD\xFFFD\xFFFD"},
      {"\xE0\x80\xAF", L"\xFFFD\xFFFD\xFFFD"},
      {"\xF0\x80\x80\xAF", L"\xFFFD\xFFFD\xFFFD\xFFFD"},
      {"\xF8\x80\x80\x80\xAF", L"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD"},
      {"a\xED\xA0\x80", L"a\xFFFD\xFFFD\xFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(unicode::DecodeUtf8Replacing(c.utf8, unicode::Utf8Rules::Shortest), c.wide);
    // Well-formed exactly when nothing had to be replaced.
    EXPECT_EQ(unicode::IsUtf8(c.utf8, unicode::Utf8Rules::Shortest),
              c.wide.find(L'\xFFFD') == std::wstring::npos);
  }
  EXPECT_TRUE(unicode::IsUtf8("\xC0\xAF", unicode::Utf8Rules::Lenient));
  EXPECT_TRUE(unicode::IsUtf8("", unicode::Utf8Rules::Shortest));
  EXPECT_FALSE(unicode::IsUtf8("\xE6\xB6", unicode::Utf8Rules::Shortest));
}

TEST(EncodeUtf8, ShortestFormAtEveryLengthAndUFFFDForWhatIsNoCharacter) {
  const wchar_t lone[] = {static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0xD800), L'a', L'\0'};
  const struct {
    std::wstring wide;
    std::string utf8;
  } cases[] = {
      {std::wstring(L"\0\x7F", 2), std::string("\0\x7F", 2)},
      {L"\x80\u07FF", "\xC2\x80\xDF\xBF"},
      {L"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
      {L"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      // A low surrogate before a high one is no pair.
      {lone,
       "\xEF\xBF\xBD\xEF\xBF\xBD"
       "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(unicode::EncodeUtf8(c.wide), c.utf8);
  }
  if constexpr (sizeof(wchar_t) == 4) {
    EXPECT_EQ(unicode::EncodeUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
  }
}

}  // namespace

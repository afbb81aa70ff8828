#include "text/utf8.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(Utf8ToWide, DecodesWholeInputIncludingNulAndByteOrderMark) {
  EXPECT_EQ(text::Utf8ToWide(""), L"");
  EXPECT_EQ(
      text::Utf8ToWide("\xE6\x9C\x8D\xE5\x8A\xA1\xE6\xAD\xA3\xE5\xB8\xB8\xE8\xBF\x90\xE8\xA1\x8C"),
      L"服务正常运行");
  EXPECT_EQ(text::Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
  EXPECT_EQ(text::Utf8ToWide("\xEF\xBB\xBFx"), L"\xFEFFx");
  // Overlong forms are accepted: C0 80 is NUL, E0 80 AF is '/'.
  EXPECT_EQ(text::Utf8ToWide("\xC0\x80"), std::wstring(1, L'\0'));
  EXPECT_EQ(text::Utf8ToWide("\xE0\x80\xAF"), L"/");
}

TEST(Utf8ToWide, CharactersBeyondSixteenBitsFollowTheWideCharacterSize) {
  std::wstring clef = text::Utf8ToWide("\xF0\x9D\x84\x9E");  // U+1D11E
  if constexpr (sizeof(wchar_t) == 2) {
    EXPECT_EQ(clef, std::wstring({static_cast<wchar_t>(0xD834), static_cast<wchar_t>(0xDD1E)}));
  } else {
    EXPECT_EQ(clef, std::wstring(1, static_cast<wchar_t>(0x1D11E)));
  }
  EXPECT_EQ(text::WideToUtf8(clef), "\xF0\x9D\x84\x9E");
}

TEST(Utf8ToWide, RefusesMalformedInputWithBadConversion) {
  const char* const malformed[] = {
      "\xC3",                  // cut short
      "\x80",                  // continuation where a sequence must begin
      "ab\xE6\x9C",            // three-byte sequence missing its last byte
      "\xC3\x28",              // continuation byte out of range
      "\xF4\x90\x80\x80",      // above U+10FFFF
      "\xF8\x88\x80\x80\x80",  // five-byte form above U+10FFFF
      "\xFF",
  };
  for (const char* input : malformed) {
    SCOPED_TRACE(testing::PrintToString(std::string(input)));
    try {
      text::Utf8ToWide(input);
      ADD_FAILURE() << "no exception";
    } catch (const std::range_error& error) {
      EXPECT_STREQ(error.what(), "bad conversion");
    }
  }
}

TEST(Utf8ToWideReplacing, ReplacesEachBadByteAndKeepsTheRest) {
  EXPECT_EQ(text::Utf8ToWideReplacing("a\x80"
                                      "b"),
            L"a\xFFFD"
            L"b");
  EXPECT_EQ(text::Utf8ToWideReplacing("ab\xE6\x9C"), L"ab\xFFFD\xFFFD");
  EXPECT_EQ(text::Utf8ToWideReplacing("\xE6\x9C\x8D"), L"服");
}

TEST(WideToUtf8, RoundTripsAndReplacesLoneSurrogates) {
  EXPECT_EQ(text::WideToUtf8(L"ERP：服务"), "ERP\xEF\xBC\x9A\xE6\x9C\x8D\xE5\x8A\xA1");
  EXPECT_EQ(text::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace

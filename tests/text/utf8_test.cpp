#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8ToWideReplacing, DecodesWholeInputIncludingNulAndByteOrderMark) {
  EXPECT_EQ(text::Utf8ToWideReplacing(""), L"");
  EXPECT_EQ(text::Utf8ToWideReplacing(
                "\xE6\x9C\x8D\xE5\x8A\xA1\xE6\xAD\xA3\xE5\xB8\xB8\xE8\xBF\x90\xE8\xA1\x8C"),
            L"服务正常运行");
  EXPECT_EQ(text::Utf8ToWideReplacing(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
  EXPECT_EQ(text::Utf8ToWideReplacing("\xEF\xBB\xBFx"), L"\xFEFFx");
  // Overlong forms are accepted: C0 80 is NUL, E0 80 AF is '/'.
  EXPECT_EQ(text::Utf8ToWideReplacing("\xC0\x80"), std::wstring(1, L'\0'));
  EXPECT_EQ(text::Utf8ToWideReplacing("\xE0\x80\xAF"), L"/");
}

TEST(Utf8ToWideReplacing, CharactersBeyondSixteenBitsFollowTheWideCharacterSize) {
  std::wstring clef = text::Utf8ToWideReplacing("\xF0\x9D\x84\x9E");  // U+1D11E
  if constexpr (sizeof(wchar_t) == 2) {
    EXPECT_EQ(clef, std::wstring({static_cast<wchar_t>(0xD834), static_cast<wchar_t>(0xDD1E)}));
  } else {
    EXPECT_EQ(clef, std::wstring(1, static_cast<wchar_t>(0x1D11E)));
  }
  EXPECT_EQ(text::WideToUtf8(clef), "\xF0\x9D\x84\x9E");
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

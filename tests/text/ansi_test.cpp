#include "text/ansi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The test process runs in the C locale (ASCII); the code page tests for a
// real multi-byte code page run on Windows.
TEST(AnsiConversions, StopAtTheFirstNul) {
  EXPECT_EQ(text::AnsiToWide(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(text::AnsiToWide(""), L"");
  EXPECT_EQ(text::WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(text::WideToAnsi(L""), "");
}

TEST(AnsiConversions, RoundTripPlainText) {
  EXPECT_EQ(text::AnsiToWide("stock-relay"), L"stock-relay");
  EXPECT_EQ(text::WideToAnsi(L"D:\\orv\\stock-relay\\app"), "D:\\orv\\stock-relay\\app");
}

TEST(AnsiConversions, CharactersMissingFromTheCodePageBecomeTheDefaultCharacter) {
  // Only meaningful where the code page lacks the character: Thai is in none of
  // ASCII, 936 (Chinese) and 1252, the code pages the suites run under.
  if (text::WideToAnsi(L"\x00e9") == "\xC3\xA9") GTEST_SKIP() << "UTF-8 holds every character";
  EXPECT_EQ(text::WideToAnsi(L"a\x0E01"
                             L"b"),
            "a?b");
}

}  // namespace

// The ANSI conversions through the real code-page tables. The code page is
// fixed per process: the suite runs once as usual (936) and once more with
// WARDKEEP_EXPECT_ACP=1252 under a Western locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "text/ansi.h"

namespace {

struct Case {
  const char* what;
  std::string ansi;
  std::wstring wide;
};

UINT ExpectedCodePage() {
  const char* expected = std::getenv("WARDKEEP_EXPECT_ACP");
  return expected != nullptr && *expected != '\0' ? static_cast<UINT>(std::atoi(expected)) : 936;
}

class AnsiCodePage : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::GetACP(), ExpectedCodePage()); }
};

TEST_F(AnsiCodePage, RoundTripsTheCodePagesOwnCharacters) {
  const Case cp936[] = {
      {"ASCII", "D:\\orv\\stock-relay", L"D:\\orv\\stock-relay"},
      {"two-byte Chinese", "\xB7\xFE\xCE\xF1\xD5\xFD\xB3\xA3\xD4\xCB\xD0\xD0", L"服务正常运行"},
      {"mixed path", "C:\\\xBC\xDB\xC7\xA9\\app", L"C:\\价签\\app"},
      {"empty", "", L""},
  };
  const Case cp1252[] = {
      {"ASCII", "D:\\orv\\stock-relay", L"D:\\orv\\stock-relay"},
      {"Latin-1 letters", "caf\xE9 \xFC", L"café ü"},
      {"the 0x80 block", "\x80\x99", L"€™"},
      {"empty", "", L""},
  };
  const auto& cases = ::GetACP() == 936 ? cp936 : cp1252;
  for (const Case& c : cases) {
    EXPECT_EQ(text::AnsiToWide(c.ansi), c.wide) << c.what;
    EXPECT_EQ(text::WideToAnsi(c.wide), c.ansi) << c.what;
  }
}

TEST_F(AnsiCodePage, CharactersMissingFromTheCodePageBecomeTheDefaultCharacter) {
  // Thai and Hebrew letters are in neither code page, and have no best fit.
  EXPECT_EQ(text::WideToAnsi(L"a\x0E01"
                             L"b"),
            "a?b");
  EXPECT_EQ(text::WideToAnsi(L"\x05D0\x05D1"), "??");
  if (::GetACP() == 1252) {
    EXPECT_EQ(text::WideToAnsi(L"服务"), "??");
  }
}

TEST_F(AnsiCodePage, InputEndsAtTheFirstNul) {
  EXPECT_EQ(text::AnsiToWide(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(text::WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(text::AnsiToWide(std::string("\0cd", 3)), L"");
}

TEST_F(AnsiCodePage, AByteSequenceTheCodePageLacksIsSubstitutedNotFatal) {
  if (::GetACP() != 936) GTEST_SKIP() << "every byte is a character in 1252";
  // A lead byte whose trail is missing, and a lead byte at the very end.
  std::wstring broken = text::AnsiToWide("a\x81");
  ASSERT_FALSE(broken.empty());
  EXPECT_EQ(broken[0], L'a');
  EXPECT_EQ(text::AnsiToWide("\xB7\xFE"
                             "b"),
            L"服b");
}

}  // namespace

#include "app/program_path.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramPath, DirectoryIsCutAfterTheLastBackslashOnly) {
  EXPECT_EQ(app::DirectoryWithTrailingBackslash(L"C:\\tools\\wardkeep.exe"), L"C:\\tools\\");
  EXPECT_EQ(app::DirectoryWithTrailingBackslash(L"C:\\a b\\c/d.exe"), L"C:\\a b\\");
  EXPECT_EQ(app::DirectoryWithTrailingBackslash(L"wardkeep.exe"), L"");
}

TEST(ProgramPath, TheRunningProgramIsFoundAgainFromItsParts) {
  std::wstring directory = app::GetExeDirectory();
  std::wstring file = app::GetExeFileName();
  ASSERT_FALSE(directory.empty());
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(directory.back(), L'\\');
  EXPECT_EQ(directory[1], L':');
  EXPECT_NE(file.find(L"wardkeep_app_tests"), std::wstring::npos);
}

}  // namespace

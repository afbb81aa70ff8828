#include "app/program_path.h"

#include <gtest/gtest.h>

#include "installation/layout.h"
#include "os/session.h"

namespace {

TEST(ProgramPath, TheAutostartEntryNamesTheRunningProgramInItsOwnFolder) {
  const std::wstring directory = installation::ProgramDirectory();
  const std::wstring program = app::AutostartProgramPath();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory[1], L':');
  EXPECT_NE(directory.back(), L'\\');
  // The folder the update run downloads into is the one the entry names.
  EXPECT_EQ(program.substr(0, directory.size() + 1), directory + L"\\");
  EXPECT_NE(program.find(L"wardkeep_app_tests"), std::wstring::npos);
  EXPECT_EQ(program, os::ModuleFileName());
}

}  // namespace

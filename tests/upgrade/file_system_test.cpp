// File-system helpers on paths relative to a scratch working directory, so the
// suite runs the same wherever it is built.
#include "upgrade/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteFile;

class InScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previous = fs::current_path();
    fs::current_path(m_scratch.path());
  }
  void TearDown() override { fs::current_path(m_previous); }

  const fs::path& Scratch() const { return m_scratch.path(); }

 private:
  TempDir m_scratch;
  fs::path m_previous;
};

std::string CreateAndCapture(const std::wstring& path, bool& result) {
  ::testing::internal::CaptureStdout();
  result = upgrade::CreateDirectoryTree(path);
  return ::testing::internal::GetCapturedStdout();
}

using CreateDirectoryTreeTest = InScratchDirectory;

TEST_F(CreateDirectoryTreeTest, RefusesPathsItCannotHandOnWhole) {
  struct Case {
    std::wstring path;
    std::string line;
  } cases[] = {
      {L"", "错误: 空路径\n"},
      {L"a\\" + std::wstring(258, L'x'), "错误: 路径过长，超过MAX_PATH限制\n"},
      {std::wstring(L"a\\b\0c", 5), "错误: 路径复制失败\n"},
  };
  for (const Case& c : cases) {
    bool result = true;
    EXPECT_EQ(CreateAndCapture(c.path, result), c.line);
    EXPECT_FALSE(result);
    EXPECT_TRUE(fs::is_empty(Scratch())) << "nothing may be created for a refused path";
  }
}

TEST_F(CreateDirectoryTreeTest, CreatesEveryMissingLevelWithEitherSeparator) {
  for (const wchar_t* path : {L"a\\b\\c", L"d/e/f", L"g\\h/i\\", L"a\\b\\c"}) {
    bool result = false;
    EXPECT_EQ(CreateAndCapture(path, result), "");
    EXPECT_TRUE(result);
  }
  EXPECT_TRUE(fs::is_directory(Scratch() / "a" / "b" / "c"));
  EXPECT_TRUE(fs::is_directory(Scratch() / "d" / "e" / "f"));
  EXPECT_TRUE(fs::is_directory(Scratch() / "g" / "h" / "i"));
}

TEST_F(CreateDirectoryTreeTest, AFileWhereADirectoryIsWantedCountsAsThere) {
  WriteFile(Scratch() / "blocker", "x");
  bool result = false;
  EXPECT_EQ(CreateAndCapture(L"blocker", result), "");
  EXPECT_TRUE(result);
  EXPECT_TRUE(fs::is_regular_file(Scratch() / "blocker"));
}

TEST_F(CreateDirectoryTreeTest, AFileInTheMiddleStopsTheTreeAtThatLevel) {
  WriteFile(Scratch() / "blocker", "x");
  bool result = true;
  // The system's reason follows on a line of its own.
  EXPECT_TRUE(CreateAndCapture(L"blocker\\sub\\deeper", result)
                  .starts_with("创建目录失败: blocker\\sub\n原因: "));
  EXPECT_FALSE(result);
}

using DeletePathTreeTest = InScratchDirectory;

TEST_F(DeletePathTreeTest, NothingThereIsReportedAndNothingTouched) {
  WriteFile(Scratch() / "keep", "x");
  EXPECT_FALSE(upgrade::DeletePathTree(L"missing"));
  EXPECT_FALSE(upgrade::DeletePathTree(L"missing\\deeper"));
  EXPECT_TRUE(fs::exists(Scratch() / "keep"));
}

TEST_F(DeletePathTreeTest, RemovesAFileOrAWholeTree) {
  WriteFile(Scratch() / "single.jar", "PK");
  EXPECT_TRUE(upgrade::DeletePathTree(L"single.jar"));
  EXPECT_FALSE(fs::exists(Scratch() / "single.jar"));

  fs::create_directories(Scratch() / "tree" / "one" / "two" / "three");
  fs::create_directories(Scratch() / "tree" / "empty");
  WriteFile(Scratch() / "tree" / "top.txt", "1");
  WriteFile(Scratch() / "tree" / ".hidden", "2");
  WriteFile(Scratch() / "tree" / "...", "3");
  WriteFile(Scratch() / "tree" / "one" / "two" / "three" / "deep.bin", "4");
  WriteFile(Scratch() / "neighbour", "stays");
  EXPECT_TRUE(upgrade::DeletePathTree(L"tree"));
  EXPECT_FALSE(fs::exists(Scratch() / "tree"));
  EXPECT_TRUE(fs::exists(Scratch() / "neighbour"));
}

}  // namespace

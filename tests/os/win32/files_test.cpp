// The files backend on real directories of the prefix's C: drive.
#include "os/files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class Win32Files : public testing::Test {
 protected:
  std::wstring Path(const std::wstring& name) const { return temp.path().wstring() + L"\\" + name; }
  TempDir temp;
};

TEST_F(Win32Files, AttributesAndExistence) {
  WriteFile(temp / "plain.txt", "x");
  ASSERT_NE(os::MakeDirectory(Path(L"目录")), os::MakeDirectoryResult::Failed);
  EXPECT_EQ(os::FileAttributes(Path(L"plain.txt")) & os::kAttributeDirectory, 0u);
  EXPECT_NE(os::FileAttributes(Path(L"目录")) & os::kAttributeDirectory, 0u);
  EXPECT_EQ(os::FileAttributes(Path(L"missing")), os::kInvalidFileAttributes);
  EXPECT_TRUE(os::PathExists(Path(L"plain.txt")));
  EXPECT_TRUE(os::PathExists(Path(L"目录")));
  EXPECT_FALSE(os::PathExists(Path(L"missing")));
}

TEST_F(Win32Files, DirectoriesAreMadeListedAndRemoved) {
  EXPECT_EQ(os::MakeDirectory(Path(L"backUp")), os::MakeDirectoryResult::Created);
  EXPECT_EQ(os::MakeDirectory(Path(L"backUp")), os::MakeDirectoryResult::AlreadyExists);
  EXPECT_EQ(os::MakeDirectory(Path(L"no\\such\\parent")), os::MakeDirectoryResult::Failed);
  WriteFile(temp / "backUp" / "a.jar", "a");
  WriteFile(temp / "backUp" / "b.jar", "b");

  std::set<std::wstring> names;
  os::DirectoryListing listing(Path(L"backUp"));
  ASSERT_TRUE(listing.IsOpen());
  for (std::wstring name; listing.Next(name);) names.insert(name);
  EXPECT_EQ(names, (std::set<std::wstring>{L".", L"..", L"a.jar", L"b.jar"}));

  os::DirectoryListing missing(Path(L"missing"));
  std::wstring name;
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(missing.Next(name));

  EXPECT_FALSE(os::RemoveEmptyDirectory(Path(L"backUp")));  // not empty yet
  EXPECT_TRUE(os::DeleteOneFile(Path(L"backUp\\a.jar")));
  EXPECT_FALSE(os::DeleteOneFile(Path(L"backUp\\a.jar")));
  EXPECT_TRUE(os::DeleteOneFile(Path(L"backUp\\b.jar")));
  EXPECT_FALSE(os::DeleteOneFile(Path(L"backUp")));  // a directory is not a file
  EXPECT_TRUE(os::RemoveEmptyDirectory(Path(L"backUp")));
  EXPECT_FALSE(os::PathExists(Path(L"backUp")));
}

TEST_F(Win32Files, ReadOnlyFilesAreNotDeleted) {
  WriteFile(temp / "locked.jar", "x");
  ASSERT_TRUE(::SetFileAttributesW(Path(L"locked.jar").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(os::FileAttributes(Path(L"locked.jar")) & os::kAttributeReadOnly, 0u);
  EXPECT_FALSE(os::DeleteOneFile(Path(L"locked.jar")));
  ::SetFileAttributesW(Path(L"locked.jar").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32Files, CopyHonoursFailIfExistsAndReadFileStartStopsWhereAsked) {
  WriteFile(temp / "new.jar", "new bytes");
  WriteFile(temp / "old.jar", "old");
  EXPECT_FALSE(os::CopyOneFile(Path(L"new.jar"), Path(L"old.jar"), true));
  EXPECT_EQ(ReadFile(temp / "old.jar"), "old");
  EXPECT_TRUE(os::CopyOneFile(Path(L"new.jar"), Path(L"old.jar"), false));
  EXPECT_EQ(ReadFile(temp / "old.jar"), "new bytes");
  EXPECT_FALSE(os::CopyOneFile(Path(L"missing.jar"), Path(L"x.jar"), false));

  EXPECT_EQ(os::ReadFileStart(Path(L"old.jar"), 3), "new");
  EXPECT_EQ(os::ReadFileStart(Path(L"old.jar"), 100), "new bytes");
  EXPECT_EQ(os::ReadFileStart(Path(L"missing.jar"), 10), "");
}

TEST_F(Win32Files, AppendFileKeepsBytesAppendsAndTruncates) {
  WriteFile(temp / "part.jar", "0123");
  {
    os::AppendFile file;
    ASSERT_TRUE(file.Open(Path(L"part.jar")));
    EXPECT_EQ(file.Size(), 4);
    ASSERT_TRUE(file.Write("45", 2));
    EXPECT_EQ(file.Size(), 6);
  }
  EXPECT_EQ(ReadFile(temp / "part.jar"), "012345");

  os::AppendFile file;
  ASSERT_TRUE(file.Open(Path(L"part.jar")));
  ASSERT_TRUE(file.Truncate());
  EXPECT_EQ(file.Size(), 0);
  std::string big(300000, 'z');
  ASSERT_TRUE(file.Write(big.data(), big.size()));
  ASSERT_TRUE(file.Write("!", 1));
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Size(), -1);
  EXPECT_FALSE(file.Write("x", 1));
  EXPECT_EQ(ReadFile(temp / "part.jar"), big + "!");

  os::AppendFile created;
  EXPECT_TRUE(created.Open(Path(L"fresh.jar")));
  EXPECT_EQ(created.Size(), 0);
  os::AppendFile refused;
  EXPECT_FALSE(refused.Open(temp.path().wstring()));  // a directory
  EXPECT_FALSE(refused.Open(Path(L"no\\such\\dir\\x.jar")));
  EXPECT_FALSE(refused.IsOpen());
}

}  // namespace

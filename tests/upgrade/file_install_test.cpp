// Whole copies and one-step replacement on real files, through each platform's
// file service: the target is the whole old file or the whole new one.
#include "upgrade/file_install.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

#include "os/errors.h"
#include "os/folder.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "unicode/utf8.h"

namespace {

namespace fs = std::filesystem;

// The system's numbers for the failures the rows provoke.
#ifdef _WIN32
constexpr long kNoSuchFile = 2;  // ERROR_FILE_NOT_FOUND
constexpr long kIsAFolder = 5;   // ERROR_ACCESS_DENIED: a file is not renamed over a folder
#else
constexpr long kNoSuchFile = ENOENT;
constexpr long kIsAFolder = EISDIR;
#endif

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WindowsFormPath;
using testing_support::WriteFile;

os::HeldFolder Held(const fs::path& dir) {
  os::HeldFolder folder;
  EXPECT_EQ(folder.Open(WindowsFormPath(dir)), os::FolderOpenResult::Opened) << dir;
  return folder;
}

TEST(FileInstall, ComparesEveryByte) {
  TempDir dir;
  const std::string big(300000, 'x');
  struct Case {
    const char* what;
    std::string first;
    std::string second;
    bool same;
  } cases[] = {
      {"identical", big, big, true},
      {"both empty", "", "", true},
      {"the last byte differs", big, big.substr(0, big.size() - 1) + "y", false},
      {"a byte in the second chunk differs", big, big.substr(0, 70000) + "y" + big.substr(70001),
       false},
      {"one is shorter", big, big.substr(1), false},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "a", c.first);
    WriteFile(dir / "b", c.second);
    os::ReadOnlyFile a;
    os::ReadOnlyFile b;
    ASSERT_TRUE(a.Open(WindowsFormPath(dir / "a")));
    ASSERT_TRUE(b.Open(WindowsFormPath(dir / "b")));
    EXPECT_EQ(upgrade::SameFileContents(a, b), c.same) << c.what;
  }
  os::ReadOnlyFile a;
  ASSERT_TRUE(a.Open(WindowsFormPath(dir / "a")));
  EXPECT_FALSE(upgrade::SameFileContents(a, os::ReadOnlyFile()));
}

TEST(FileInstall, ReplacesInOneStepOrLeavesTheTargetAsItWas) {
  TempDir dir;
  fs::create_directories(dir / "app");
  fs::create_directories(dir / "dl");
  const fs::path target = dir / "app" / "stock-relay.jar";
  const fs::path leftover = dir / "app" / "stock-relay.jar.part";
  EXPECT_EQ(upgrade::TemporaryNameFor(L"stock-relay.jar"), L"stock-relay.jar.part");
  const os::HeldFolder app = Held(dir / "app");
  const os::HeldFolder dl = Held(dir / "dl");

  // Each row runs on what the rows before it left. The cause is the failing
  // step's own, never one of the clean-up after it (the discarded temporary
  // file) nor a stale one from a call that succeeded before it.
  WriteFile(target, "old");
  WriteFile(leftover, "half of an earl");
  WriteFile(dir / "dl" / "new", "the new JAR");
  const struct {
    const char* what;
    std::function<void()> arrange;
    const os::HeldFolder& from;
    std::wstring fromName;
    const os::HeldFolder& to;
    std::wstring toName;
    long code;           // the system's number; 0: none, the program's own text or success
    std::wstring text;   // the program's own text, when the system has no number
    const char* target;  // what the target holds afterwards
  } rows[] = {
      // A half-written file from an interrupted run is not mistaken for the copy.
      {"over a leftover", [] {}, dl, L"new", app, L"stock-relay.jar", 0, L"", "the new JAR"},
      {"no source", [] {}, dl, L"missing", app, L"stock-relay.jar", kNoSuchFile, L"",
       "the new JAR"},
      // A folder where the temporary file would go is not removed, and stops the copy.
      {"a folder at the temporary name", [&] { fs::create_directories(leftover); }, dl, L"new", app,
       L"stock-relay.jar", 0, L"临时文件的名称已被占用", "the new JAR"},
      // The move fails after the copy was made: its cause, not the removal's.
      {"a folder at the target's name",
       [&] {
         fs::remove(leftover);
         fs::create_directories(dir / "dl" / "taken" / "inside");
       },
       app, L"stock-relay.jar", dl, L"taken", kIsAFolder, L"", nullptr},
      // A copy into a fresh name, as the backup makes it.
      {"into a fresh name", [] {}, app, L"stock-relay.jar", dl, L"backup", 0, L"", "the new JAR"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.arrange();
    const os::Error error = upgrade::ReplaceFileWhole(row.from, row.fromName, row.to, row.toName);
    const std::string said = unicode::EncodeUtf8(error.text);
    EXPECT_EQ(error.code, row.code) << said;
    if (row.code == 0) {
      EXPECT_EQ(error.text, row.text) << said;
    }
    EXPECT_EQ(static_cast<bool>(error), row.code != 0 || !row.text.empty()) << said;
    if (row.target != nullptr) {
      EXPECT_EQ(ReadFile(row.to.Path() == app.Path() ? target : dir / "dl" / row.toName),
                row.target);
    }
    EXPECT_EQ(ReadFile(dir / "dl" / "new"), "the new JAR");  // copied, not moved
    EXPECT_FALSE(fs::exists(fs::path(dir / "dl") / (std::wstring(row.toName) + L".part")));
  }
  EXPECT_TRUE(fs::is_directory(dir / "dl" / "taken" / "inside"));
}

}  // namespace

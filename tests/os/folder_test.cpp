// Held folders on both targets: what opens as a folder and what does not, the
// operations made inside one, and the update lock taken on it.
#include "os/folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/target.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WindowsFormPath;
using testing_support::WriteFile;

TEST(OsHeldFolder, OnlyARealFolderOpensAndEachStepIsInsideTheOneBefore) {
  TempDir temp;
  fs::create_directories(temp / "root" / "app");
  WriteFile(temp / "root" / "file", "x");
  os::HeldFolder root;
  ASSERT_EQ(root.Open(WindowsFormPath(temp / "root")), os::FolderOpenResult::Opened);
  EXPECT_TRUE(root.IsOpen());
  EXPECT_EQ(root.Path(), WindowsFormPath(temp / "root"));
  struct Row {
    const wchar_t* name;
    os::FolderOpenResult result;
  } rows[] = {
      {L"app", os::FolderOpenResult::Opened},           {L"missing", os::FolderOpenResult::Missing},
      {L"file", os::FolderOpenResult::NotAFolder},      {L"..", os::FolderOpenResult::Failed},
      {L"app\\..\\file", os::FolderOpenResult::Failed}, {L"", os::FolderOpenResult::Failed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
    os::HeldFolder child;
    EXPECT_EQ(child.OpenIn(root, row.name), row.result);
    EXPECT_EQ(child.IsOpen(), row.result == os::FolderOpenResult::Opened);
  }
  os::HeldFolder missing;
  EXPECT_EQ(missing.Open(WindowsFormPath(temp / "root" / "missing" / "deeper")),
            os::FolderOpenResult::Missing);
}

// The path is read the same way on both targets: from a drive's root, level
// by level, whichever separators and however many; only a real level counts.
TEST(OsHeldFolder, APathIsOpenedFromItsDriveLevelByLevel) {
  TempDir temp;
  fs::create_directories(temp / "root" / "app");
  WriteFile(temp / "root" / "app" / "marker", "x");
  const std::wstring root = WindowsFormPath(temp / "root");
  std::wstring forward = root;
  for (wchar_t& c : forward) c = c == L'\\' ? L'/' : c;
  struct Row {
    std::wstring path;
    os::FolderOpenResult result;
    bool isApp;     // the held folder is root\app
    bool namesApp;  // and Path() says so in the one form both targets give
  } rows[] = {
      {root + L"\\app", os::FolderOpenResult::Opened, true, true},
      {root + L"\\app\\", os::FolderOpenResult::Opened, true, true},
      {root + L"\\\\app\\\\", os::FolderOpenResult::Opened, true, false},
      {forward + L"/app", os::FolderOpenResult::Opened, true, false},
      {root.substr(0, 3), os::FolderOpenResult::Opened, false, false},
      {root + L"\\app\\..\\app", os::FolderOpenResult::Failed, false, false},
      {root + L"\\.\\app", os::FolderOpenResult::Failed, false, false},
      {root + L"\\missing\\app", os::FolderOpenResult::Missing, false, false},
      {root + L"\\app\\marker", os::FolderOpenResult::NotAFolder, false, false},
      {root.substr(0, 2), os::FolderOpenResult::Failed, false, false},
      {root.substr(0, 2) + L"app", os::FolderOpenResult::Failed, false, false},
      {L"app", os::FolderOpenResult::Failed, false, false},
      {L"", os::FolderOpenResult::Failed, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.path));
    os::HeldFolder folder;
    EXPECT_EQ(folder.Open(row.path), row.result);
    EXPECT_EQ(folder.IsOpen(), row.result == os::FolderOpenResult::Opened);
    EXPECT_EQ(os::KindOfEntryIn(folder, L"marker") == os::EntryKind::File, row.isApp);
    if (row.namesApp) {
      EXPECT_EQ(folder.Path(), root + L"\\app");
    }
  }
}

TEST(OsHeldFolder, ALinkOnTheWayIsNeverOpened) {
  if (testing_support::kWindowsTarget) GTEST_SKIP() << "links are made natively";
  TempDir temp;
  fs::create_directories(temp / "real" / "app");
  fs::create_directory_symlink(temp / "real", temp / "link");
  fs::create_directory_symlink(temp / "real" / "app", temp / "real" / "applink");
  os::HeldFolder folder;
  EXPECT_EQ(folder.Open(WindowsFormPath(temp / "link" / "app")), os::FolderOpenResult::Link);
  ASSERT_EQ(folder.Open(WindowsFormPath(temp / "real")), os::FolderOpenResult::Opened);
  os::HeldFolder child;
  EXPECT_EQ(child.OpenIn(folder, L"applink"), os::FolderOpenResult::Link);
  EXPECT_EQ(os::KindOfEntryIn(folder, L"applink"), os::EntryKind::Link);
  EXPECT_FALSE(os::DeleteFileIn(folder, L"app"));     // a folder is not a file
  EXPECT_TRUE(os::DeleteFileIn(folder, L"applink"));  // the link itself goes
  EXPECT_TRUE(fs::is_directory(temp / "real" / "app"));
}

TEST(OsHeldFolder, FilesAreMadeLinkedAndMovedInsideTheHeldFolders) {
  TempDir temp;
  fs::create_directories(temp / "app");
  fs::create_directories(temp / "backup");
  os::HeldFolder app;
  os::HeldFolder backup;
  ASSERT_EQ(app.Open(WindowsFormPath(temp / "app")), os::FolderOpenResult::Opened);
  ASSERT_EQ(backup.Open(WindowsFormPath(temp / "backup")), os::FolderOpenResult::Opened);
  WriteFile(temp / "app" / "a.jar", "old");

  EXPECT_EQ(os::KindOfEntryIn(app, L"a.jar"), os::EntryKind::File);
  EXPECT_EQ(os::KindOfEntryIn(app, L"none"), os::EntryKind::Missing);
  EXPECT_EQ(os::MakeFolderIn(app, L"sub"), os::MakeDirectoryResult::Created);
  EXPECT_EQ(os::MakeFolderIn(app, L"sub"), os::MakeDirectoryResult::AlreadyExists);
  EXPECT_EQ(os::KindOfEntryIn(app, L"sub"), os::EntryKind::Folder);

  ASSERT_TRUE(os::LinkFileIn(app, L"a.jar", backup, L"a.jar"));
  EXPECT_FALSE(os::LinkFileIn(app, L"a.jar", backup, L"a.jar"));  // the name is taken
  EXPECT_EQ(ReadFile(temp / "backup" / "a.jar"), "old");

  os::ReadOnlyFile read;
  ASSERT_TRUE(read.OpenIn(backup, L"a.jar"));
  EXPECT_EQ(read.Size(), 3);
  EXPECT_FALSE(read.OpenIn(app, L"sub"));

  {
    os::StagedFile staged;
    ASSERT_TRUE(staged.Create(app, L"a.jar.part"));
    EXPECT_FALSE(os::StagedFile().Create(app, L"a.jar.part"));  // exclusively made
    ASSERT_TRUE(staged.Write("new!", 4));
    ASSERT_TRUE(staged.Truncate());
    ASSERT_TRUE(staged.Write("new", 3));
    ASSERT_TRUE(staged.MoveOver(L"a.jar"));
  }
  read.Close();
  EXPECT_EQ(ReadFile(temp / "app" / "a.jar"), "new");
  EXPECT_FALSE(fs::exists(temp / "app" / "a.jar.part"));

  WriteFile(temp / "app" / "b.part", "b");
  EXPECT_TRUE(os::ReplaceFileIn(app, L"b.part", L"a.jar"));
  EXPECT_EQ(ReadFile(temp / "app" / "a.jar"), "b");
  EXPECT_TRUE(os::DeleteFileIn(app, L"a.jar"));
  EXPECT_EQ(os::KindOfEntryIn(app, L"a.jar"), os::EntryKind::Missing);
}

// One run at a time: a second taker, in another thread as in another process,
// is refused until the first lets go; another folder is free.
// A fresh folder is one this call made: whatever already has a name (a
// folder, a file, natively a link) is passed over, and the one made is held.
TEST(OsHeldFolder, AFreshFolderIsNeverOneThatWasThere) {
  using Outcome = os::FreshFolder::Outcome;
  TempDir temp;
  const fs::path parent = temp / "backUp";
  const struct Row {
    const char* what;
    std::vector<const char*> taken;  // "d:" folder, "f:" file, "l:" link to elsewhere
    Outcome outcome;
    const wchar_t* name;
  } rows[] = {
      {"nothing there", {}, Outcome::Made, L"stamp"},
      {"a folder of the name", {"d:stamp"}, Outcome::Made, L"stamp_2"},
      {"a file, then a folder", {"f:stamp", "d:stamp_2"}, Outcome::Made, L"stamp_3"},
      {"a link of the name", {"l:stamp"}, Outcome::Made, L"stamp_2"},
      {"every name tried taken",
       {"d:stamp", "f:stamp_2", "d:stamp_3"},
       Outcome::AllNamesTaken,
       L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(parent);
    fs::create_directories(parent);
    fs::create_directories(temp / "elsewhere");
    bool linked = true;
    for (const std::string entry : row.taken) {
      const fs::path at = parent / entry.substr(2);
      if (entry[0] == 'd') fs::create_directory(at);
      if (entry[0] == 'f') WriteFile(at, "x");
      if (entry[0] == 'l') {
        std::error_code error;
        fs::create_directory_symlink(temp / "elsewhere", at, error);
        linked = !error;
      }
    }
    if (!linked) continue;  // Wine makes no links here
    os::HeldFolder held;
    ASSERT_EQ(held.Open(WindowsFormPath(parent)), os::FolderOpenResult::Opened);
    os::FreshFolder fresh = os::MakeFreshFolderIn(held, L"stamp", 3);
    EXPECT_EQ(fresh.outcome, row.outcome);
    EXPECT_EQ(fresh.name, row.name);
    EXPECT_EQ(fresh.folder.IsOpen(), row.outcome == Outcome::Made);
    if (row.outcome == Outcome::Made) {
      // Held: what is made through it lands in the fresh folder.
      EXPECT_EQ(os::MakeFolderIn(fresh.folder, L"x"), os::MakeDirectoryResult::Created);
      EXPECT_TRUE(fs::is_directory(parent / fs::path(row.name) / "x"));
    }
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
  }
  // The parent gone from under its handle (natively; Windows keeps a held
  // folder in place): the failure and its cause, no name taken over.
  if (!testing_support::kWindowsTarget) {
    fs::remove_all(parent);
    fs::create_directories(parent);
    os::HeldFolder held;
    ASSERT_EQ(held.Open(WindowsFormPath(parent)), os::FolderOpenResult::Opened);
    fs::remove(parent);
    const os::FreshFolder fresh = os::MakeFreshFolderIn(held, L"stamp", 3);
    EXPECT_EQ(fresh.outcome, Outcome::Failed);
    EXPECT_EQ(fresh.name, L"stamp");
    EXPECT_NE(fresh.error.code, 0);
  }
}

TEST(OsFolderLock, OneHolderPerFolderUntilItIsReleased) {
  TempDir temp;
  fs::create_directories(temp / "app");
  fs::create_directories(temp / "other");
  os::HeldFolder app;
  os::HeldFolder other;
  ASSERT_EQ(app.Open(WindowsFormPath(temp / "app")), os::FolderOpenResult::Opened);
  ASSERT_EQ(other.Open(WindowsFormPath(temp / "other")), os::FolderOpenResult::Opened);
  auto takenElsewhere = [](const os::HeldFolder& folder) {
    bool taken = false;
    std::thread([&] {
      os::FolderLock lock;
      taken = lock.TryAcquire(folder);
    }).join();
    return taken;
  };
  {
    os::FolderLock first;
    ASSERT_TRUE(first.TryAcquire(app));
    EXPECT_FALSE(takenElsewhere(app));
    EXPECT_TRUE(takenElsewhere(other));
  }
  EXPECT_TRUE(takenElsewhere(app));
  EXPECT_FALSE(os::FolderLock().TryAcquire(os::HeldFolder()));
}

}  // namespace

// The file services an install relies on, on real files of both targets: a
// staged file made exclusively, held against writers, read back and moved
// through its own handle; a second name for a file; the write bit; and the
// plain operations around them (what an entry is, deletes, appends), each
// failure with its cause.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"
#include "support/target.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kWindowsTarget;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Every byte of an open file, read in small positioned steps.
std::string ReadAll(const os::ReadOnlyFile& file) {
  std::string bytes;
  char chunk[4096];
  for (std::int64_t offset = 0;;) {
    std::int64_t got = file.ReadFullAt(offset, chunk, sizeof chunk);
    if (got <= 0) return got < 0 ? "<read failed>" : bytes;
    bytes.append(chunk, static_cast<std::size_t>(got));
    offset += got;
  }
}

// Bytes no two positions of which repeat in a short period, so an offset
// mistake shows.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// A link to `target` at `link`; false where the platform will not make one.
bool MakeSymlink(const fs::path& target, const fs::path& link) {
  std::error_code error;
  fs::create_symlink(target, link, error);
  return !error;
}

// The bytes as another reader sees them: one that lets others write and
// delete, as a reader of a file being written must on Windows.
std::string ReadAsAnotherReader(const std::wstring& path) {
  os::ReadOnlyFile reader;
  if (!reader.Open(path)) return "<not opened>";
  return ReadAll(reader);
}

bool CanOpenForWriting(const fs::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  return out.is_open();
}

class OsFiles : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(folder.Open(testing_support::WindowsFormPath(temp.path())),
              os::FolderOpenResult::Opened);
  }
  std::wstring Path(const fs::path& name) const {
    return testing_support::WindowsFormPath(temp.path() / name);
  }
  bool DirectoryIsEmpty() const { return fs::is_empty(temp.path()); }

  TempDir temp;
  os::HeldFolder folder;  // the temporary folder, let go before it is removed
};

TEST_F(OsFiles, AStagedFileIsNeverMadeWhereAnythingIsAlready) {
  struct Case {
    const char* name;
    std::function<bool()> plant;  // false: cannot be made on this target
    std::function<void()> check;  // what was there is untouched
  };
  const Case cases[] = {
      {"AFile",
       [&] {
         WriteFile(temp / "x", "theirs");
         return true;
       },
       [&] { EXPECT_EQ(ReadFile(temp / "x"), "theirs"); }},
      {"ADirectory", [&] { return fs::create_directory(temp / "x"); },
       [&] { EXPECT_TRUE(fs::is_directory(temp / "x")); }},
      {"ASecondNameOfAnotherFile",
       [&] {
         WriteFile(temp / "other", "theirs");
         std::error_code error;
         fs::create_hard_link(temp / "other", temp / "x", error);
         return !error;
       },
       [&] { EXPECT_EQ(ReadFile(temp / "other"), "theirs"); }},
      // The classic plant: a link to where the attacker wants the bytes.
      {"ALinkToAMissingFile", [&] { return MakeSymlink(temp / "target", temp / "x"); },
       [&] { EXPECT_FALSE(fs::exists(temp / "target")); }},
      {"ALinkToAFile",
       [&] {
         WriteFile(temp / "target", "theirs");
         return MakeSymlink(temp / "target", temp / "x");
       },
       [&] { EXPECT_EQ(ReadFile(temp / "target"), "theirs"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(temp / "x");
    fs::remove_all(temp / "target");
    fs::remove_all(temp / "other");
    if (!c.plant()) {
      // mingw's runtime makes no symbolic links; the native rows cover them.
      EXPECT_TRUE(kWindowsTarget) << "could not plant";
      continue;
    }
    {
      os::StagedFile staged;
      EXPECT_FALSE(staged.Create(folder, L"x"));
      EXPECT_FALSE(staged.IsOpen());
      EXPECT_FALSE(staged.Write("ours", 4));
    }  // and destroying it removes nothing of theirs
    c.check();
    EXPECT_TRUE(fs::exists(fs::symlink_status(temp / "x")));
  }
}

TEST_F(OsFiles, TheBytesReadBackThroughTheHandleAreTheBytesWritten) {
  const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
  os::StagedFile staged;
  ASSERT_TRUE(staged.Create(folder, L"stock-relay.jar.new"));
  ASSERT_TRUE(staged.IsOpen());
  // Reads between the writes must not move where the next write lands.
  const std::size_t cuts[] = {0, 1, 4096, 1024 * 1024, bytes.size()};
  for (std::size_t i = 1; i < std::size(cuts); ++i) {
    ASSERT_TRUE(staged.Write(bytes.data() + cuts[i - 1], cuts[i] - cuts[i - 1]));
    EXPECT_EQ(staged.Contents().Size(), static_cast<std::int64_t>(cuts[i]));
    EXPECT_EQ(ReadAll(staged.Contents()), bytes.substr(0, cuts[i])) << "after write " << i;
  }
  EXPECT_TRUE(staged.Write(nullptr, 0));
  EXPECT_TRUE(staged.FlushToDisk());
  EXPECT_EQ(ReadAll(staged.Contents()), bytes);
  // Others may read it while it is held.
  EXPECT_EQ(ReadAsAnotherReader(Path("stock-relay.jar.new")), bytes);
}

TEST_F(OsFiles, AFullReadStopsShortOnlyAtTheEnd) {
  const std::string bytes = Pattern(300 * 1024 + 5);
  WriteFile(temp / "stock-relay.jar", bytes);
  os::ReadOnlyFile file;
  ASSERT_TRUE(file.Open(Path("stock-relay.jar")));
  const std::size_t size = bytes.size();
  const struct {
    std::size_t offset;
    std::size_t asked;
    std::size_t expected;
  } table[] = {
      {0, 0, 0},        {0, size, size}, {1, 256 * 1024, 256 * 1024}, {size - 10, 100, 10},
      {size - 1, 1, 1}, {size, 10, 0},   {size + 5, 10, 0},
  };
  for (const auto& row : table) {
    std::string buffer(row.asked, '\x55');
    EXPECT_EQ(file.ReadFullAt(static_cast<std::int64_t>(row.offset), buffer.data(), row.asked),
              static_cast<std::int64_t>(row.expected))
        << row.offset << "+" << row.asked;
    EXPECT_EQ(buffer.substr(0, row.expected),
              bytes.substr(std::min(row.offset, size), row.expected))
        << row.offset << "+" << row.asked;
  }
  char byte = 0;
  file.Close();
  EXPECT_EQ(file.ReadFullAt(0, &byte, 1), -1);  // a closed file is an error, not an end
}

TEST_F(OsFiles, NobodyElseChangesAStagedFileWhileItIsHeld) {
  os::StagedFile staged;
  ASSERT_TRUE(staged.Create(folder, L"held"));
  ASSERT_TRUE(staged.Write("checked", 7));
  const fs::path held = temp / "held";
  if (kWindowsTarget) {
    // Shared for reading only: no writer, no delete, no rename gets a handle.
    EXPECT_FALSE(CanOpenForWriting(held));
    std::error_code error;
    EXPECT_FALSE(fs::remove(held, error));
    fs::rename(held, temp / "moved", error);
    EXPECT_TRUE(error);
  } else {
    // The owner may always open a file of their own for writing (and root
    // any file), and the directory, not the file, decides deletes and
    // renames: what keeps other users out is the mode, owner-only.
    EXPECT_EQ(fs::status(held).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_EQ(ReadAsAnotherReader(Path("held")), "checked");
  EXPECT_EQ(ReadAll(staged.Contents()), "checked");
}

TEST_F(OsFiles, MoveOverPutsExactlyTheStagedBytesInPlace) {
  struct Case {
    const char* name;
    bool targetExists;
  };
  const Case cases[] = {{"OverTheOldFile", true}, {"WhereNothingWas", false}};
  const std::string bytes = Pattern(200000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(temp / "stock-relay.jar");
    if (c.targetExists) {
      WriteFile(temp / "stock-relay.jar", std::string(300000, 'o'));
      fs::permissions(temp / "stock-relay.jar", fs::perms::owner_read | fs::perms::owner_write |
                                                    fs::perms::group_read | fs::perms::group_write |
                                                    fs::perms::others_read);
    }
    {
      os::StagedFile staged;
      ASSERT_TRUE(staged.Create(folder, L"stock-relay.jar.new"));
      ASSERT_TRUE(staged.Write(bytes.data(), bytes.size()));
      ASSERT_TRUE(staged.FlushToDisk());
      ASSERT_TRUE(staged.MoveOver(Path("stock-relay.jar")));
      EXPECT_FALSE(fs::exists(temp / "stock-relay.jar.new"));
      EXPECT_EQ(ReadFile(temp / "stock-relay.jar"), bytes);
      // Still held, under the new name.
      EXPECT_EQ(ReadAll(staged.Contents()), bytes);
      EXPECT_FALSE(staged.MoveOver(Path("again.jar")));
      // In place it no longer stands in the way of whoever opens the JAR next.
      EXPECT_TRUE(CanOpenForWriting(temp / "stock-relay.jar"));
      if (!kWindowsTarget) {
        // Readable by the service's user again, writable by its owner only.
        EXPECT_EQ(fs::status(temp / "stock-relay.jar").permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read);
      }
      staged.Discard();  // a moved file stays
    }
    EXPECT_EQ(ReadFile(temp / "stock-relay.jar"), bytes);
    EXPECT_EQ(fs::file_size(temp / "stock-relay.jar"), bytes.size());
  }
}

TEST_F(OsFiles, AStagedFileThatWasNotMovedLeavesNothing) {
  struct Case {
    const char* name;
    std::function<void(os::StagedFile&)> end;
  };
  const Case cases[] = {
      {"Destroyed", [](os::StagedFile&) {}},
      {"Discarded", [](os::StagedFile& staged) { staged.Discard(); }},
      {"DiscardedTwice",
       [](os::StagedFile& staged) {
         staged.Discard();
         staged.Discard();
       }},
      {"FlushedThenDestroyed", [](os::StagedFile& staged) { staged.FlushToDisk(); }},
      {"ReplacedByASecondCreate",
       [this](os::StagedFile& staged) {
         EXPECT_TRUE(staged.Create(folder, L"second"));
         EXPECT_FALSE(fs::exists(temp / "first"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      os::StagedFile staged;
      ASSERT_TRUE(staged.Create(folder, L"first"));
      ASSERT_TRUE(staged.Write("bytes", 5));
      c.end(staged);
    }
    EXPECT_TRUE(DirectoryIsEmpty());
  }
  os::StagedFile discarded;
  ASSERT_TRUE(discarded.Create(folder, L"first"));
  discarded.Discard();
  EXPECT_FALSE(discarded.IsOpen());
  EXPECT_FALSE(discarded.Contents().IsOpen());
  EXPECT_FALSE(discarded.Write("x", 1));
  EXPECT_FALSE(discarded.MoveOver(Path("target")));
  EXPECT_TRUE(DirectoryIsEmpty());
}

TEST_F(OsFiles, ASecondNameSharesTheBytesAndIsNeverMadeOverAnything) {
  WriteFile(temp / "stock-relay.jar", "old jar");
  ASSERT_TRUE(os::LinkFileIn(folder, L"stock-relay.jar", folder, L"backup.jar"));
  EXPECT_EQ(ReadFile(temp / "backup.jar"), "old jar");
  // One file under two names: a change through one shows through the other.
  WriteFile(temp / "stock-relay.jar", "changed");
  EXPECT_EQ(ReadFile(temp / "backup.jar"), "changed");
  // Removing one name keeps the other.
  fs::remove(temp / "stock-relay.jar");
  EXPECT_EQ(ReadFile(temp / "backup.jar"), "changed");

  WriteFile(temp / "a", "a");
  WriteFile(temp / "b", "b");
  EXPECT_FALSE(os::LinkFileIn(folder, L"a", folder, L"b"));
  EXPECT_EQ(ReadFile(temp / "b"), "b");
  EXPECT_FALSE(os::LinkFileIn(folder, L"missing", folder, L"c"));
  EXPECT_FALSE(fs::exists(temp / "c"));
  if (MakeSymlink(temp / "through", temp / "planted")) {
    EXPECT_FALSE(os::LinkFileIn(folder, L"a", folder, L"planted"));
    EXPECT_FALSE(fs::exists(temp / "through"));
  }
}

TEST_F(OsFiles, MakeWritableInLetsTheOwnerWriteAReadOnlyFileAgain) {
  WriteFile(temp / "locked.jar", "x");
  fs::permissions(temp / "locked.jar",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_EQ(fs::status(temp / "locked.jar").permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_TRUE(os::MakeWritableIn(folder, L"locked.jar"));
  EXPECT_NE(fs::status(temp / "locked.jar").permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_TRUE(os::DeleteOneFile(Path("locked.jar")));  // refused while read-only
  EXPECT_FALSE(os::MakeWritableIn(folder, L"missing"));
}

// The entry itself, never what a link points to; a missing entry leaves the
// system's "not found" as its cause.
TEST_F(OsFiles, KindOfEntryInSaysWhatTheEntryItselfIs) {
  WriteFile(temp / "plain.txt", "x");
  WriteFile(temp / "locked.jar", "x");
  fs::permissions(temp / "locked.jar",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const fs::path directory(u8"目录");
  ASSERT_TRUE(fs::create_directory(temp.path() / directory));
  const bool links = MakeSymlink(temp / "plain.txt", temp / "to-file") &&
                     MakeSymlink(temp / "gone", temp / "dangling") &&
                     MakeSymlink(temp.path() / directory, temp / "to-folder");
  // mingw's runtime makes no symbolic links; the native rows cover them.
  EXPECT_NE(links, kWindowsTarget);
  struct Row {
    std::wstring name;
    os::EntryKind kind;
    bool needsLinks;
  } rows[] = {
      {L"plain.txt", os::EntryKind::File, false},  {L"locked.jar", os::EntryKind::File, false},
      {L"目录", os::EntryKind::Folder, false},     {L"to-file", os::EntryKind::Link, true},
      {L"dangling", os::EntryKind::Link, true},    {L"to-folder", os::EntryKind::Link, true},
      {L"missing", os::EntryKind::Missing, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.name));
    if (row.needsLinks && !links) continue;
    os::ClearLastError();
    EXPECT_EQ(os::KindOfEntryIn(folder, row.name), row.kind);
    if (row.kind == os::EntryKind::Missing) {
      EXPECT_EQ(os::LastError().code, kWindowsTarget ? 2 : ENOENT);  // ERROR_FILE_NOT_FOUND
    }
  }
  fs::permissions(temp / "locked.jar", fs::perms::owner_write, fs::perm_options::add);
}

// Every refusal says why, in the system's words: the cause each failed call
// leaves, as the line that reports it will print it.
TEST_F(OsFiles, AFailedCallLeavesItsCause) {
  WriteFile(temp / "a", "a");
  WriteFile(temp / "b", "b");
  WriteFile(temp / "locked.jar", "x");
  fs::permissions(temp / "locked.jar",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directories(temp / "full" / "inside");
  fs::create_directory(temp / "gone");
  struct Row {
    const char* call;
    std::function<bool()> fails;
    long nativeCause;
    long windowsCause;  // 0: not checked on Windows (the row says why)
  } rows[] = {
      {"DeleteOneFile missing", [&] { return !os::DeleteOneFile(Path("missing")); }, ENOENT, 2},
      {"DeleteOneFile folder", [&] { return !os::DeleteOneFile(Path("full")); }, EISDIR, 5},
      {"DeleteOneFile read-only", [&] { return !os::DeleteOneFile(Path("locked.jar")); }, EACCES,
       5},
      // Wine says "not found" where Windows calls the name invalid.
      {"MakeFolderIn a name longer than the system takes",
       [&] {
         return os::MakeFolderIn(folder, std::wstring(300, L'n')) ==
                os::MakeDirectoryResult::Failed;
       },
       ENAMETOOLONG, 0},
      // Windows holds a folder against removal; natively it can go meanwhile.
      {"MakeFolderIn a folder removed meanwhile",
       [&] {
         os::HeldFolder gone;
         if (gone.Open(Path("gone")) != os::FolderOpenResult::Opened) return false;
         fs::remove(temp / "gone");
         return os::MakeFolderIn(gone, L"x") == os::MakeDirectoryResult::Failed;
       },
       ENOENT, 0},
      {"ReadOnlyFile in a folder, of nothing",
       [&] {
         os::ReadOnlyFile file;
         return !file.OpenIn(folder, L"missing");
       },
       ENOENT, 2},
      {"ReplaceFileIn of nothing", [&] { return !os::ReplaceFileIn(folder, L"missing", L"c"); },
       ENOENT, 2},
      {"ReplaceFileIn over a folder", [&] { return !os::ReplaceFileIn(folder, L"a", L"full"); },
       EISDIR, 5},
      {"LinkFileIn over an existing file",
       [&] { return !os::LinkFileIn(folder, L"a", folder, L"b"); }, EEXIST, 183},
      {"LinkFileIn of nothing", [&] { return !os::LinkFileIn(folder, L"missing", folder, L"c"); },
       ENOENT, 2},
      {"MakeWritableIn of nothing", [&] { return !os::MakeWritableIn(folder, L"missing"); }, ENOENT,
       2},
      {"StagedFile over an existing file",
       [&] {
         os::StagedFile staged;
         return !staged.Create(folder, L"a");
       },
       EEXIST, 80},
      {"AppendFile in no folder",
       [&] {
         os::AppendFile file;
         return !file.Open(Path("no/such/dir/x.jar"));
       },
       ENOENT, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.call);
    if (kWindowsTarget && row.windowsCause == 0) continue;
    os::ClearLastError();
    ASSERT_TRUE(row.fails());
    const os::Error cause = os::LastError();
    EXPECT_EQ(cause.code, kWindowsTarget ? row.windowsCause : row.nativeCause)
        << testing::PrintToString(cause.text);
    EXPECT_FALSE(cause.text.empty());
  }
  EXPECT_EQ(ReadFile(temp / "b"), "b");
  EXPECT_EQ(ReadFile(temp / "locked.jar"), "x");
  fs::permissions(temp / "locked.jar", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(OsFiles, OnlyFilesAreDeletedAndEachOnlyOnce) {
  fs::create_directory(temp / "backUp");
  WriteFile(temp / "backUp" / "a.jar", "a");
  EXPECT_TRUE(os::DeleteOneFile(Path("backUp/a.jar")));
  EXPECT_FALSE(fs::exists(temp / "backUp" / "a.jar"));
  EXPECT_FALSE(os::DeleteOneFile(Path("backUp/a.jar")));
  EXPECT_FALSE(os::DeleteOneFile(Path("backUp")));  // a directory is not a file
  EXPECT_TRUE(fs::is_directory(temp / "backUp"));
}

TEST_F(OsFiles, ReadOnlyFilesAreNotDeleted) {
  WriteFile(temp / "locked.jar", "x");
  fs::permissions(temp / "locked.jar",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  // Read-only for everyone, root included, on both targets.
  EXPECT_FALSE(os::DeleteOneFile(Path("locked.jar")));
  EXPECT_EQ(ReadFile(temp / "locked.jar"), "x");
  fs::permissions(temp / "locked.jar", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(OsFiles, AppendFileKeepsBytesAppendsAndTruncates) {
  WriteFile(temp / "part.jar", "0123");
  {
    os::AppendFile file;
    ASSERT_TRUE(file.Open(Path("part.jar")));
    EXPECT_EQ(file.Size(), 4);
    ASSERT_TRUE(file.Write("45", 2));
    EXPECT_EQ(file.Size(), 6);
  }
  EXPECT_EQ(ReadFile(temp / "part.jar"), "012345");

  os::AppendFile file;
  ASSERT_TRUE(file.Open(Path("part.jar")));
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
  EXPECT_TRUE(created.Open(Path("fresh.jar")));
  EXPECT_EQ(created.Size(), 0);
  os::AppendFile refused;
  EXPECT_FALSE(refused.Open(testing_support::WindowsFormPath(temp.path())));  // a directory
  EXPECT_FALSE(refused.Open(Path("no/such/dir/x.jar")));
  EXPECT_FALSE(refused.IsOpen());
}

}  // namespace

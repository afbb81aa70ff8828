// The machine values natively: one file of root's in a directory of root's,
// read only when nobody else could have written either.
#include "os/machine_values.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using os::MachineValueStatus;

constexpr uid_t kNobody = 65534;

class MachineValues : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "only root writes root's machine values";
  }
  fs::path Dir() const { return m_root / "state"; }
  fs::path File() const { return Dir() / "state"; }

  testing_support::TempDir m_root;
  testing_support::ScopedEnv m_env{"WARDKEEP_STATE_DIR", (m_root / "state").string()};
};

TEST_F(MachineValues, WrittenValuesAreReadBackAndKeepEachOther) {
  EXPECT_EQ(os::ReadMachineValue(L"InstalledJarVersion").status, MachineValueStatus::Absent);
  ASSERT_TRUE(os::WriteMachineValue(L"InstalledJarVersion", L"2.0.0"));
  ASSERT_TRUE(os::WriteMachineValue(L"RolledBackJarSha256", L"ab12"));
  ASSERT_TRUE(os::WriteMachineValue(L"InstalledJarVersion", L"2.0.1"));
  const os::MachineValue version = os::ReadMachineValue(L"InstalledJarVersion");
  EXPECT_EQ(version.status, MachineValueStatus::Found);
  EXPECT_EQ(version.value, L"2.0.1");
  EXPECT_EQ(os::ReadMachineValue(L"RolledBackJarSha256").value, L"ab12");
  EXPECT_EQ(os::ReadMachineValue(L"Other").status, MachineValueStatus::Absent);
  EXPECT_EQ(testing_support::ReadFile(File()),
            "InstalledJarVersion=2.0.1\nRolledBackJarSha256=ab12\n");
  // Root's, readable by all, written by root alone.
  struct stat info {};
  ASSERT_EQ(stat(File().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  ASSERT_EQ(stat(Dir().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0022, 0u);
  EXPECT_EQ(os::MachineValuesPlace(), File().wstring());
}

TEST_F(MachineValues, NamesAndValuesThatCannotBeKeptAreRefused) {
  for (const auto& [name, value] : std::initializer_list<std::pair<std::wstring, std::wstring>>{
           {L"", L"x"},
           {L"a=b", L"x"},
           {L"a b", L"x"},
           {L"Name", L"two\nlines"},
           {L"Name", std::wstring(2000, L'x')}}) {
    EXPECT_FALSE(os::WriteMachineValue(name, value));
  }
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(MachineValues, APlaceSomeoneElseCouldWriteIsNotRead) {
  const struct {
    const char* what;
    void (*spoil)(const fs::path& dir, const fs::path& file);
  } rows[] = {
      {"file not root's",
       [](const fs::path&, const fs::path& file) {
         ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
       }},
      {"file writable by others",
       [](const fs::path&, const fs::path& file) {
         fs::permissions(file, fs::perms::others_write, fs::perm_options::add);
       }},
      {"file writable by the group",
       [](const fs::path&, const fs::path& file) {
         fs::permissions(file, fs::perms::group_write, fs::perm_options::add);
       }},
      {"directory not root's",
       [](const fs::path& dir, const fs::path&) {
         ASSERT_EQ(chown(dir.c_str(), kNobody, kNobody), 0);
       }},
      {"directory writable by others",
       [](const fs::path& dir, const fs::path&) {
         fs::permissions(dir, fs::perms::others_write, fs::perm_options::add);
       }},
      {"file a link",
       [](const fs::path& dir, const fs::path& file) {
         fs::rename(file, dir / "elsewhere");
         fs::create_symlink(dir / "elsewhere", file);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(Dir());
    ASSERT_TRUE(os::WriteMachineValue(L"InstalledJarVersion", L"9.9.9"));
    row.spoil(Dir(), File());
    const os::MachineValue read = os::ReadMachineValue(L"InstalledJarVersion");
    EXPECT_EQ(read.status, MachineValueStatus::Untrusted);
    EXPECT_EQ(read.value, L"");
  }
  // A directory that is a link is not followed.
  fs::remove_all(Dir());
  fs::create_directories(m_root / "real");
  fs::create_directory_symlink(m_root / "real", Dir());
  EXPECT_EQ(os::ReadMachineValue(L"InstalledJarVersion").status, MachineValueStatus::Untrusted);
  EXPECT_FALSE(os::WriteMachineValue(L"InstalledJarVersion", L"1.0"));
  EXPECT_FALSE(fs::exists(m_root / "real" / "state"));
}

}  // namespace

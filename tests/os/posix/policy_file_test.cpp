// The native policy file is read only when no one but root can have written
// it, and only in its documented form.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "os/policy.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr uid_t kNobody = 65534;

class PolicyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "a root-owned file needs root";
    chmod(m_folder.path().c_str(), 0755);
  }
  fs::path File() const { return m_folder / "policy"; }
  void Write(const std::string& text, mode_t mode = 0644) {
    WriteFile(File(), text);
    chmod(File().c_str(), mode);
  }

  TempDir m_folder;
  ScopedEnv m_env{"WARDKEEP_POLICY_FILE", (m_folder / "policy").string()};
};

TEST_F(PolicyFile, TheDocumentedFormIsRead) {
  Write("# pinned after the rollback of 12 May\n\n  Autostart = Task \r\nUpdates=0\n");
  EXPECT_EQ(os::ReadPolicyText(L"Autostart"), L"Task");
  EXPECT_EQ(os::ReadPolicyNumber(L"Updates"), 0u);
}

TEST_F(PolicyFile, NumbersAreDecimalDigitsThatFit) {
  const char* rows[] = {"Updates=-1",         "Updates=0x0",         "Updates=",
                        "Updates=4294967296", "Updates=00000000000", "Updates=off"};
  for (const char* row : rows) {
    SCOPED_TRACE(row);
    Write(std::string(row) + "\n");
    EXPECT_EQ(os::ReadPolicyNumber(L"Updates"), std::nullopt);
  }
}

TEST_F(PolicyFile, AFileOthersCouldHaveWrittenIsNotRead) {
  struct Row {
    const char* what;
    mode_t fileMode;
    uid_t fileOwner;
    mode_t folderMode;
  };
  const Row rows[] = {
      {"group may write the file", 0664, 0, 0755},
      {"anyone may write the file", 0646, 0, 0755},
      {"the file is another user's", 0644, kNobody, 0755},
      {"anyone may write its folder", 0644, 0, 0777},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Write("Updates=0\n", row.fileMode);
    ASSERT_EQ(chown(File().c_str(), row.fileOwner, 0), 0);
    chmod(m_folder.path().c_str(), row.folderMode);
    EXPECT_EQ(os::ReadPolicyNumber(L"Updates"), std::nullopt);
    chmod(m_folder.path().c_str(), 0755);
  }
  // The same file, root's and only root's, is read.
  Write("Updates=0\n");
  ASSERT_EQ(chown(File().c_str(), 0, 0), 0);
  EXPECT_EQ(os::ReadPolicyNumber(L"Updates"), 0u);
}

TEST_F(PolicyFile, ALinkIsNotFollowed) {
  WriteFile(m_folder / "elsewhere", "Updates=0\n");
  chmod((m_folder / "elsewhere").c_str(), 0644);
  fs::create_symlink(m_folder / "elsewhere", File());
  EXPECT_EQ(os::ReadPolicyNumber(L"Updates"), std::nullopt);
}

}  // namespace

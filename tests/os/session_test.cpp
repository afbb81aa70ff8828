// Session services on both targets: one lock holder on the machine, one copy
// of the program per session, and the autostart entry that names the program
// whatever its folder is called.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "os/session.h"
#include "support/autostart_entry.h"
#include "support/scoped_env.h"
#include "support/target.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kWindowsTarget;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// A name no other test run shares.
std::wstring UniqueLockName() {
  static int counter = 0;
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  return L"wardkeep-test-" + std::to_wstring(stamp) + L"-" + std::to_wstring(counter++);
}

// TryAcquire from another thread, as another process would: on Windows a
// mutex is owned by a thread, and its owner taking it again succeeds.
// `runtimeDir` stands for another log-on session's own directory.
bool AcquiredElsewhere(const std::wstring& name, const std::string& runtimeDir) {
  bool acquired = false;
  std::thread other([&] {
    ScopedEnv session("XDG_RUNTIME_DIR", runtimeDir);
    os::MachineWideLock lock;
    acquired = lock.TryAcquire(name);
    EXPECT_EQ(lock.IsHeld(), acquired);
  });
  other.join();
  return acquired;
}

class OsMachineWideLock : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(temp / "locks");
    fs::create_directory(temp / "session1");
    fs::create_directory(temp / "session2");
  }
  TempDir temp;
  // Natively the lock's directory; nothing on Windows.
  ScopedEnv lockDir{"WARDKEEP_LOCK_DIR", (temp / "locks").string()};
  const std::wstring name = UniqueLockName();
  std::string session1 = (temp / "session1").string();
  std::string session2 = (temp / "session2").string();
};

TEST_F(OsMachineWideLock, OneHolderAcrossSessionsUntilItIsReleased) {
  std::optional<os::MachineWideLock> first;
  first.emplace();
  EXPECT_FALSE(first->IsHeld());
  {
    ScopedEnv session("XDG_RUNTIME_DIR", session1);
    ASSERT_TRUE(first->TryAcquire(name));
  }
  EXPECT_TRUE(first->IsHeld());

  // Another session (its own runtime directory) and the same session alike.
  EXPECT_FALSE(AcquiredElsewhere(name, session2));
  EXPECT_FALSE(AcquiredElsewhere(name, session1));
  EXPECT_TRUE(AcquiredElsewhere(UniqueLockName(), session2));  // other names are free

  // Moving the lock keeps it held; the moved-from one holds nothing.
  os::MachineWideLock moved = std::move(*first);
  EXPECT_TRUE(moved.IsHeld());
  EXPECT_FALSE(first->IsHeld());
  first.reset();
  EXPECT_FALSE(AcquiredElsewhere(name, session2));

  // Released with its holder: the next session gets it, then this one again.
  { os::MachineWideLock gone = std::move(moved); }
  EXPECT_TRUE(AcquiredElsewhere(name, session2));
  os::MachineWideLock again;
  EXPECT_TRUE(again.TryAcquire(name));
}

TEST_F(OsMachineWideLock, ALinkAtTheLockFilesNameIsNotFollowed) {
  if (kWindowsTarget) GTEST_SKIP() << "a named mutex has no file to plant";
  const fs::path lockFile = temp / "locks" / (fs::path(name).string() + ".lock");
  fs::create_symlink(temp / "elsewhere", lockFile);
  os::MachineWideLock lock;
  EXPECT_FALSE(lock.TryAcquire(name));
  EXPECT_FALSE(lock.IsHeld());
  EXPECT_FALSE(fs::exists(temp / "elsewhere"));
  EXPECT_FALSE(lock.TryAcquire(L"../" + name));
  EXPECT_FALSE(lock.TryAcquire(L""));
}

TEST(OsSingleInstance, TheFirstClaimHoldsAndEveryLaterOneIsRefused) {
  TempDir temp;
  ScopedEnv session("XDG_RUNTIME_DIR", temp.path().string());  // natively
  const std::wstring name = UniqueLockName();
  ASSERT_TRUE(os::AcquireSingleInstance(name));
  EXPECT_FALSE(os::AcquireSingleInstance(name));
  EXPECT_FALSE(os::AcquireSingleInstance(name));  // the refused claim left nothing behind
  EXPECT_TRUE(os::AcquireSingleInstance(UniqueLockName()));
}

TEST(OsAutostart, TheProgramsPathIsStoredQuoted) {
  TempDir temp;
  ScopedEnv config("XDG_CONFIG_HOME", (temp / "config").string());  // natively
  const std::wstring entry = L"wardkeepTest" + UniqueLockName();
  const fs::path programs[] = {
      temp / "ward keep" / "wardkeep.exe",  // unquoted, log-on would try "ward.exe" first
      temp / "wardkeep" / "wardkeep.exe",
      temp / "价签 看门狗" / "wardkeep.exe",
  };
  for (const fs::path& program : programs) {
    os::WriteAutostartEntry(entry, testing_support::WindowsFormPath(program));
    std::u8string hostForm = fs::absolute(program).make_preferred().u8string();
    EXPECT_EQ(testing_support::AutostartCommand(entry),
              "\"" + std::string(hostForm.begin(), hostForm.end()) + "\"");
  }
  testing_support::RemoveAutostartEntry(entry);
  EXPECT_EQ(testing_support::AutostartCommand(entry), "");
}

}  // namespace

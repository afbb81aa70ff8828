// Session services on both targets: one copy of the program per session, and the autostart entry
// that names the program whatever its folder is called.
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
using testing_support::ScopedEnv;
using testing_support::TempDir;

// A name no other test run shares.
std::wstring UniqueLockName() {
  static int counter = 0;
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  return L"wardkeep-test-" + std::to_wstring(stamp) + L"-" + std::to_wstring(counter++);
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

// The program's own path is the whole Windows-form path of this very file;
// the boxes' caption is its name without the extension, even natively where
// no mapped drive holds the program and it has no Windows-form path at all.
TEST(OsSession, TheOwnPathIsWholeOrNothingAndTheCaptionNamesTheProgramEither) {
  const std::optional<std::wstring> own = os::OwnProgramPath();
  ASSERT_TRUE(own.has_value());
  ASSERT_GE(own->size(), 3u);
  EXPECT_EQ(own->substr(1, 2), L":\\");
  const std::wstring fileName = own->substr(own->rfind(L'\\') + 1);
  EXPECT_EQ(fileName,
            testing_support::kWindowsTarget ? L"wardkeep_os_tests.exe" : L"wardkeep_os_tests");
  EXPECT_EQ(os::AppTitle(), L"wardkeep_os_tests");
  if (!testing_support::kWindowsTarget) {
    EXPECT_EQ(*own, testing_support::WindowsFormPath(fs::read_symlink("/proc/self/exe")));
    TempDir temp;
    ScopedEnv driveC("WARDKEEP_DRIVE_C", temp.path().string());
    EXPECT_EQ(os::OwnProgramPath(), std::nullopt);
    EXPECT_EQ(os::AppTitle(), L"wardkeep_os_tests");
  }
}

}  // namespace

// Machine figures on both targets: memory, the drive this program's files are
// on, and a drive letter with nothing behind it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "os/machine.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// The last letter no volume answers to (natively: none does until the drive
// map names it, and the test unsets that below).
wchar_t AbsentDriveLetter() {
  for (wchar_t letter = L'Z'; letter >= L'D'; --letter) {
    std::error_code error;
    if (!fs::exists(std::wstring(1, letter) + L":\\", error)) return letter;
  }
  return 0;
}

TEST(OsMachine, FiguresOfAPresentDriveAndOfOneThatIsNotThere) {
  EXPECT_GT(os::AvailablePhysicalMemory(), 0u);

  TempDir temp;
  const std::wstring present = testing_support::WindowsFormPath(temp.path()).substr(0, 3);
  ASSERT_EQ(present.substr(1), L":\\");
  EXPECT_EQ(os::GetDriveKind(present), os::DriveType::Fixed);
  std::uint64_t freeBytes = 0;
  EXPECT_TRUE(os::FreeBytesForCaller(present, freeBytes));
  EXPECT_GT(freeBytes, 0u);

  const wchar_t letter = AbsentDriveLetter();
  ASSERT_NE(letter, 0);
  ScopedEnv unmapped("WARDKEEP_DRIVE_" + std::string(1, static_cast<char>(letter)), std::nullopt);
  const std::wstring absent = std::wstring(1, letter) + L":\\";
  EXPECT_EQ(os::GetDriveKind(absent), os::DriveType::NoRootDir);
  std::uint64_t unchanged = 12345;
  EXPECT_FALSE(os::FreeBytesForCaller(absent, unchanged));
  EXPECT_EQ(unchanged, 12345u);
}

}  // namespace

#include "os/posix/drive_map.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"

namespace {

using os::posix::ToHostPath;
using os::posix::ToWindowsPath;
using testing_support::ScopedEnv;

TEST(DriveMap, WindowsPathsLandUnderTheMappedDirectories) {
  ScopedEnv c("WARDKEEP_DRIVE_C", std::nullopt);
  ScopedEnv d("WARDKEEP_DRIVE_D", "/srv/d/");
  EXPECT_EQ(ToHostPath(L"C:\\Users\\me").value(), "/Users/me");
  EXPECT_EQ(ToHostPath(L"C:\\").value(), "/");
  EXPECT_EQ(ToHostPath(L"d:/orv/stock-relay").value(), "/srv/d/orv/stock-relay");
  EXPECT_EQ(ToHostPath(L"D:\\orv\\服务").value(), "/srv/d/orv/\xE6\x9C\x8D\xE5\x8A\xA1");
  EXPECT_EQ(ToHostPath(L"\\rooted").value(), "/rooted");
  EXPECT_EQ(ToHostPath(L"relative\\file").value(), "relative/file");
}

TEST(DriveMap, AbsentDrivesAndNetworkPathsHaveNoHostPath) {
  ScopedEnv d("WARDKEEP_DRIVE_D", std::nullopt);
  EXPECT_FALSE(ToHostPath(L"D:\\orv").has_value());
  EXPECT_FALSE(ToHostPath(L"X:\\a").has_value());
  EXPECT_FALSE(ToHostPath(L"\\\\server\\share").has_value());
  EXPECT_FALSE(ToHostPath(L"\\\\?\\D:\\orv").has_value());
}

TEST(DriveMap, HostPathsComeBackInWindowsFormUnderTheLongestMappedPrefix) {
  ScopedEnv c("WARDKEEP_DRIVE_C", std::nullopt);
  ScopedEnv d("WARDKEEP_DRIVE_D", "/srv/d");
  EXPECT_EQ(ToWindowsPath("/home/me/wardkeep"), L"C:\\home\\me\\wardkeep");
  EXPECT_EQ(ToWindowsPath("/srv/d/orv/x"), L"D:\\orv\\x");
  EXPECT_EQ(ToWindowsPath("/srv/d"), L"D:\\");
  EXPECT_EQ(ToWindowsPath("/srv/dx/y"), L"C:\\srv\\dx\\y");
  // Host names are UTF-8; a byte that is not becomes U+FFFD.
  EXPECT_EQ(ToWindowsPath("/srv/d/\xE6\x9C\x8D/caf\xE9"), L"D:\\服\\caf\xFFFD");
  // An overlong "/" in a name is no separator.
  EXPECT_EQ(ToWindowsPath("/srv/d/a\xE0\x80\xAF\xC0\xAF"
                          "b"),
            L"D:\\a\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD"
            L"b");
  EXPECT_EQ(ToWindowsPath("relative"), L"");
}

}  // namespace

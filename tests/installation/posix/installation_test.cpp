// Which installation is this machine's: the root that holds the installed JAR,
// never a folder that merely exists, nor one a user made or linked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "installation/layout.h"
#include "upgrade/posix/upgrade_drives.h"

namespace {

namespace fs = upgrade_test::fs;
using testing_support::WriteFile;

enum class Holds { Nothing, EmptyFolder, Jar, JarFolder };

void Prepare(const fs::path& drive, Holds holds) {
  const fs::path app = drive / "orv" / "stock-relay" / "app";
  switch (holds) {
    case Holds::Nothing:
      break;
    case Holds::EmptyFolder:
      fs::create_directories(app.parent_path());
      break;
    case Holds::Jar:
      fs::create_directories(app);
      WriteFile(app / "stock-relay.jar", "jar");
      break;
    case Holds::JarFolder:
      fs::create_directories(app / "stock-relay.jar");
      break;
  }
}

TEST(InstallationRoot, TheRootIsTheOneThatHoldsTheInstalledJar) {
  struct Row {
    const char* what;
    Holds d;
    Holds c;
    const wchar_t* root;  // empty: none
  } rows[] = {
      {"D: empty, C: installed", Holds::EmptyFolder, Holds::Jar, L"C:\\orv\\stock-relay"},
      {"D: installed", Holds::Jar, Holds::Jar, L"D:\\orv\\stock-relay"},
      {"C: only", Holds::Nothing, Holds::Jar, L"C:\\orv\\stock-relay"},
      {"neither", Holds::Nothing, Holds::Nothing, L""},
      {"a folder named like the JAR on D:", Holds::JarFolder, Holds::Jar, L"C:\\orv\\stock-relay"},
      {"empty folders only", Holds::EmptyFolder, Holds::EmptyFolder, L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    upgrade_test::UpgradeDrives drives;
    Prepare(drives.D(), row.d);
    Prepare(drives.C(), row.c);
    const auto found = installation::FindInstallation();
    EXPECT_EQ(found ? found->root : L"", row.root);
  }
}

// The tests run as root; a folder handed to "nobody" is what an ordinary user
// would have made.
constexpr uid_t kUser = 65534;

void GiveToUser(const fs::path& path) {
  ASSERT_EQ(lchown(path.c_str(), kUser, kUser), 0) << path;
}

TEST(InstallationRoot, ARootThatDoesNotCountIsPassedOverWithOneLine) {
  const std::wstring skip = L"跳过 D:\\orv\\stock-relay: ";
  const std::wstring owners = L" 的所有者不是 Administrators、SYSTEM 或 TrustedInstaller";
  struct Row {
    const char* what;
    void (*spoil)(const fs::path& d, const fs::path& c);
    std::wstring line;
  } rows[] = {
      {"orv made by a user", [](const fs::path& d, const fs::path&) { GiveToUser(d / "orv"); },
       skip + L"D:\\orv" + owners},
      {"the root made by a user",
       [](const fs::path& d, const fs::path&) { GiveToUser(d / "orv" / "stock-relay"); },
       skip + L"D:\\orv\\stock-relay" + owners},
      {"app made by a user",
       [](const fs::path& d, const fs::path&) { GiveToUser(d / "orv" / "stock-relay" / "app"); },
       skip + L"D:\\orv\\stock-relay\\app" + owners},
      {"app a link to a real installation",
       [](const fs::path& d, const fs::path& c) {
         fs::remove_all(d / "orv" / "stock-relay" / "app");
         fs::create_directory_symlink(c / "orv" / "stock-relay" / "app",
                                      d / "orv" / "stock-relay" / "app");
       },
       skip + L"D:\\orv\\stock-relay\\app 是链接或联接点"},
      {"orv a link",
       [](const fs::path& d, const fs::path& c) {
         fs::remove_all(d / "orv");
         fs::create_directory_symlink(c / "orv", d / "orv");
       },
       skip + L"D:\\orv 是链接或联接点"},
      {"the root a file",
       [](const fs::path& d, const fs::path&) {
         fs::remove_all(d / "orv" / "stock-relay");
         WriteFile(d / "orv" / "stock-relay", "not a folder");
       },
       skip + L"D:\\orv\\stock-relay 不是文件夹"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    upgrade_test::UpgradeDrives drives;
    Prepare(drives.D(), Holds::Jar);
    Prepare(drives.C(), Holds::Jar);
    row.spoil(drives.D(), drives.C());
    const installation::Search search = installation::FindPinnedInstallation();
    ASSERT_TRUE(search.installation);
    EXPECT_EQ(search.installation->layout.root, L"C:\\orv\\stock-relay");
    EXPECT_EQ(search.passedOver, std::vector<std::wstring>{row.line});
  }
}

// Once pinned, the folders are what the run works in, whatever their names
// come to mean: a link swapped in for "app" leads nowhere.
TEST(InstallationRoot, TheHeldFoldersStayTheOnesCheckedWhenTheirNamesAreSwapped) {
  upgrade_test::UpgradeDrives drives;
  Prepare(drives.D(), Holds::Jar);
  fs::create_directories(drives.C() / "elsewhere");
  installation::Search search = installation::FindPinnedInstallation();
  ASSERT_TRUE(search.installation);
  const fs::path app = drives.D() / "orv" / "stock-relay" / "app";
  fs::rename(app, drives.D() / "moved-away");
  fs::create_directory_symlink(drives.C() / "elsewhere", app);

  os::StagedFile staged;
  ASSERT_TRUE(staged.Create(search.installation->app, L"new.part"));
  ASSERT_TRUE(staged.Write("new", 3));
  ASSERT_TRUE(staged.MoveOver(L"stock-relay.jar"));
  EXPECT_EQ(testing_support::ReadFile(drives.D() / "moved-away" / "stock-relay.jar"), "new");
  EXPECT_TRUE(fs::is_empty(drives.C() / "elsewhere"));
  // And a fresh search sees the link for what it is.
  EXPECT_EQ(installation::FindPinnedInstallation().passedOver,
            std::vector<std::wstring>{L"跳过 D:\\orv\\stock-relay: D:\\orv\\stock-relay\\app "
                                      L"是链接或联接点"});
}

}  // namespace

// Which installation is this machine's: the root that holds the installed JAR,
// never a folder that merely exists; and the cache flush's client is that
// root's own.
#include <gtest/gtest.h>

#include <string>

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

TEST(InstallationRoot, LinksAnywhereOnTheWayAreFound) {
  upgrade_test::UpgradeDrives drives;
  const installation::Layout layout{L"D:\\orv\\stock-relay"};
  const fs::path root = drives.D() / "orv" / "stock-relay";
  fs::create_directories(root / "app");
  EXPECT_EQ(installation::FindLinkInPath(layout), L"");
  fs::create_directories(drives.C() / "real");
  struct Row {
    fs::path at;
    const wchar_t* found;
  } rows[] = {
      {root / "backUp", L"D:\\orv\\stock-relay\\backUp"},
      {root / "app", L"D:\\orv\\stock-relay\\app"},
      {drives.D() / "orv", L"D:\\orv"},
  };
  for (const Row& row : rows) {
    fs::remove_all(drives.D() / "orv");
    fs::create_directories(root / "app");
    fs::remove_all(row.at);
    fs::create_directory_symlink(drives.C() / "real", row.at);
    EXPECT_EQ(installation::FindLinkInPath(layout), row.found);
  }
}

}  // namespace

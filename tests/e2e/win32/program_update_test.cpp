// The real wardkeep.exe's update run at start, against the native stand-in
// offering a JAR on the production update port: installed into D: during the
// dialog's initialisation, with the service stopped and started around it.
// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/program_process.h"
#include "support/win32/standin_session.h"
#include "support/win32/upload_installation.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::win32::ProgramProcess;
using testing_support::win32::StandinSession;
using testing_support::win32::UploadInstallation;
using testing_support::win32::WaitUntil;

std::string OfferedJar() {
  httplib::Client client("127.0.0.1", 2406);
  auto result = client.Get("/files/stock-relay.jar");
  return result && result->status == 200 ? result->body : std::string();
}

TEST(WardkeepProgramUpdate, AnOfferedJarIsInstalledBeforeTheDialogTakesMessages) {
  UploadInstallation installation(testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
  ASSERT_EQ(installation.Error(), "");

  StandinSession standin(WARDKEEP_NATIVE_STANDIN, {"--update", "offer", "--jar-size", "300000"});
  ASSERT_EQ(standin.Error(), "");
  const std::string newJar = OfferedJar();
  ASSERT_EQ(newJar.size(), 300000u);

  TempDir temp;
  const fs::path program = temp / "wardkeep.exe";
  fs::copy_file(testing_support::win32::BuildPath(WARDKEEP_PROGRAM), program);
  ProgramProcess process(program.wstring());
  ASSERT_TRUE(process.Started());
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = process.Dialog()) != nullptr; }, 30s));
  // The dialog answers only once its initialisation, and with it the update
  // run, has ended.
  DWORD_PTR ignored = 0;
  ASSERT_TRUE(::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored));

  EXPECT_FALSE(fs::exists(temp / "stock-relay.jar"));  // nothing is written beside the program
  if (!installation.ownersKept) {
    // Wine keeps no owners: the folders are the prefix user's, not the
    // administrators', and the program in its own process counts no such root.
    EXPECT_EQ(ReadFile(installation.installed), installation.oldJar);
    EXPECT_TRUE(installation.Backups().empty());
  } else {
    EXPECT_EQ(ReadFile(installation.installed), newJar);
    const std::vector<fs::path> stamps = installation.Backups();
    ASSERT_EQ(stamps.size(), 1u);
    EXPECT_EQ(ReadFile(stamps[0] / L"stock-relay.jar"), installation.oldJar);
    EXPECT_TRUE(installation.ServiceWasRestarted());
  }

  testing_support::win32::PressEscape(dialog);
  EXPECT_TRUE(process.WaitForEnd(15000));
}

// A path that does not fit the platform's 260-character buffer comes back cut
// short: here the cut falls inside the program's directory name, so the cut
// path names its parent. Nothing is downloaded or installed anywhere, and the
// Run value still holds what was read.

}  // namespace

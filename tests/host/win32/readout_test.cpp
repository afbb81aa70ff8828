// The readout of the machine's figures in the dialog, with the real figures of
// the machine the tests run on.
// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "host/resource_readout.h"
#include "os/machine.h"
#include "support/local_http_server.h"
#include "support/recording_view.h"
#include "support/win32/prefix_drive.h"
#include "upgrade/update_run.h"

namespace {

TEST(Win32Readout, TheDialogShowsTheMachinesFiguresInTheirFormats) {
  // Initialisation also runs the update run: keep it off the production ports.
  std::string nowhere = "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
  testing_support::RecordingView view;
  CwardkeepDlg dialog(view, nowhere, [&] { upgrade::RunUpdate({nowhere, "", nowhere}); });
  dialog.OnInitDialog();

  std::wregex megabytes(L"[0-9]+");
  std::wregex gigabytes(L"[0-9]+\\.[0-9]{2} GB");
  EXPECT_TRUE(std::regex_match(view.texts[app::kMemFreeEditId], megabytes))
      << view.texts[app::kMemFreeEditId].size();
  EXPECT_TRUE(std::regex_match(view.texts[app::kDiskCEditId], gigabytes));
  // C:'s own figure; others writing to the disk meanwhile move it a little.
  const double shown = std::stod(view.texts[app::kDiskCEditId]);
  const double now = std::stod(host::FormatDiskFree(L"C:\\"));
  EXPECT_NEAR(shown, now, 0.5) << view.texts[app::kDiskCEditId].size();
  // D: in this prefix is either absent (box untouched) or a fixed disk.
  if (os::GetDriveKind(L"D:\\") == os::DriveType::Fixed) {
    EXPECT_TRUE(std::regex_match(view.texts[app::kDiskDEditId], gigabytes));
  } else {
    EXPECT_EQ(view.texts.count(app::kDiskDEditId), 0u);
  }
  EXPECT_EQ(host::FormatDiskFree(testing_support::win32::AbsentDriveRoot()), L"");
}

}  // namespace

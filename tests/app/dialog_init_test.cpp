#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "platform_client/tunables.h"
#include "support/local_http_server.h"
#include "support/recording_view.h"
#include "update/tunables.h"

namespace {

using testing_support::RecordingView;

// Initialisation runs the update run; keep it away from any service that may be
// listening on the production ports.
class DialogInitialisation : public testing::Test {
 protected:
  std::string nowhere = "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
  ScopedTunable<std::string> platform{platform_client::tunables::baseUrl, nowhere};
  ScopedTunable<std::string> updateServer{update::tunables::serverBaseUrl, nowhere};
};

std::size_t IndexOf(const std::vector<std::wstring>& calls, const std::wstring& prefix) {
  auto found = std::find_if(calls.begin(), calls.end(),
                            [&](const std::wstring& c) { return c.rfind(prefix, 0) == 0; });
  return static_cast<std::size_t>(found - calls.begin());
}

TEST_F(DialogInitialisation, IconsThenReadoutThenTimerThenHideMessage) {
  RecordingView view;
  CwardkeepDlg dialog(view);
  EXPECT_TRUE(dialog.OnInitDialog());

  const auto& calls = view.calls;
  std::size_t bigIcon = IndexOf(calls, L"icon big app");
  std::size_t smallIcon = IndexOf(calls, L"icon small app");
  std::size_t memory = IndexOf(calls, L"text 1002 ");
  std::size_t diskC = IndexOf(calls, L"text 1003 ");
  std::size_t timer = IndexOf(calls, L"timer 1 20000");
  std::size_t post = IndexOf(calls, L"post 1124");
  ASSERT_LT(post, calls.size());
  EXPECT_LT(bigIcon, smallIcon);
  EXPECT_LT(smallIcon, memory);
  EXPECT_LT(memory, diskC);
  EXPECT_LT(diskC, timer);
  EXPECT_LT(timer, post);
  EXPECT_EQ(post, calls.size() - 1) << "posting the hide message is the last step";

  // No health text yet, and the window is still as the template made it.
  EXPECT_EQ(view.texts.count(app::kStatusEditId), 0u);
  EXPECT_EQ(view.texts.count(app::kErpEditId), 0u);
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(dialog.OnQueryDragIcon(), &RecordingView::kIcon);
}

TEST_F(DialogInitialisation, TheQueuedMessageHidesTheWindowWhenEverItArrives) {
  RecordingView view;
  CwardkeepDlg dialog(view);
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.OnHideAfterStart(), 0);
  EXPECT_FALSE(view.visible);
  view.ShowWindow(true);
  dialog.OnHideAfterStart();
  EXPECT_FALSE(view.visible);
}

}  // namespace

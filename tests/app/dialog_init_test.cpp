#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "support/local_http_server.h"
#include "support/recording_view.h"
#include "upgrade/update_run.h"

namespace {

using testing_support::RecordingView;

// Initialisation runs the update run; keep it away from any service that may be
// listening on the production ports.
class DialogInitialisation : public testing::Test {
 protected:
  // The real update run, asking an update server and a platform service
  // that are not there.
  CwardkeepDlg::UpdateRun UpdateAskingNowhere() const {
    return [nowhere = nowhere] { upgrade::RunUpdate({nowhere, "", nowhere}); };
  }

  std::string nowhere = "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
};

std::size_t IndexOf(const std::vector<std::wstring>& calls, const std::wstring& prefix) {
  auto found = std::find_if(calls.begin(), calls.end(),
                            [&](const std::wstring& c) { return c.rfind(prefix, 0) == 0; });
  return static_cast<std::size_t>(found - calls.begin());
}

TEST_F(DialogInitialisation, IconsThenReadoutThenTimerThenHideMessage) {
  RecordingView view;
  CwardkeepDlg dialog(view, nowhere, UpdateAskingNowhere());
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
  CwardkeepDlg dialog(view, nowhere, UpdateAskingNowhere());
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.OnHideAfterStart(), 0);
  EXPECT_FALSE(view.visible);
  view.ShowWindow(true);
  dialog.OnHideAfterStart();
  EXPECT_FALSE(view.visible);
}

// Whatever the update run does, the health timer is set, the hide posted, and
// the next tick checks health as on any other start.
TEST_F(DialogInitialisation, TheWatchStartsWhateverTheUpdateRunDoes) {
  struct Case {
    const char* name;
    CwardkeepDlg::UpdateRun run;
  } cases[] = {
      {"returns", [] {}},
      {"throws a standard exception", [] { throw std::runtime_error("disk gone"); }},
      {"throws something else", [] { throw 42; }},
      {"throws out of memory", [] { throw std::bad_alloc(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingView view;
    int runs = 0;
    CwardkeepDlg dialog(view, nowhere, [&] {
      ++runs;
      c.run();
    });
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(runs, 1);
    ASSERT_GE(view.calls.size(), 2u);
    EXPECT_EQ(view.calls[view.calls.size() - 2], L"timer 1 20000");
    EXPECT_EQ(view.calls.back(), L"post 1124");

    dialog.OnHideAfterStart();
    dialog.OnHealthTimer(app::kHealthTimerId);
    EXPECT_TRUE(view.visible) << "the unreachable platform is a fault the tick shows";
    EXPECT_NE(view.texts[app::kStatusEditId].find(L"Couldn't connect"), std::wstring::npos);
  }
}

TEST_F(DialogInitialisation, ARefusedTimerIsTriedAgainThenSaidOnTheVisibleWindow) {
  struct Case {
    int refusals;
    bool started;
  } cases[] = {{0, true}, {1, true}, {2, true}, {3, false}, {10, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusals);
    RecordingView view;
    view.timerRefusals = c.refusals;
    CwardkeepDlg dialog(view, nowhere, [] {});
    EXPECT_TRUE(dialog.OnInitDialog());
    const auto refused = std::count_if(view.calls.begin(), view.calls.end(), [](const auto& call) {
      return call.rfind(L"timer refused", 0) == 0;
    });
    EXPECT_EQ(refused, std::min(c.refusals, 3));
    EXPECT_EQ(IndexOf(view.calls, L"timer 1 20000") < view.calls.size(), c.started);
    EXPECT_EQ(view.posted.size(), c.started ? 1u : 0u) << "a hidden window could say nothing";
    EXPECT_TRUE(view.visible);
    if (c.started) {
      EXPECT_EQ(view.texts.count(app::kStatusEditId), 0u);
    } else {
      EXPECT_NE(view.texts[app::kStatusEditId].find(L"定时器"), std::wstring::npos);
      // Shown outright: a front end that created the window hidden shows it too.
      EXPECT_EQ(view.calls.back(), L"show 1");
    }
  }
}

}  // namespace

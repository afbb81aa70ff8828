// The start button's walk over the installation's services against Wine's
// real service manager: services of these exact names, served by the Windows
// suite's helper, and the program's own message boxes closed from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "host/tunables.h"
#include "os/session.h"
#include "support/recording_view.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/test_service.h"
#include "ui/win32/win32_dialog.h"

namespace {

using testing_support::RecordingView;
using testing_support::win32::FindMessageBoxes;
using testing_support::win32::MessageBoxInfo;
using testing_support::win32::TestService;

constexpr unsigned kPauseMs = 1000;

std::unique_ptr<TestService> Register(const wchar_t* name) {
  return std::make_unique<TestService>(name,
                                       testing_support::win32::BuildPath(WARDKEEP_WIN32_SUITE));
}

// When the process serving a service was created, in 100 ns units.
ULONGLONG StartedAt(DWORD processId) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return 0;
  FILETIME created{}, exited{}, kernel{}, user{};
  ::GetProcessTimes(process, &created, &exited, &kernel, &user);
  ::CloseHandle(process);
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Closes this process's message boxes as they appear, noting what they said.
class BoxCloser {
 public:
  BoxCloser()
      : m_thread([this] {
          while (!m_stop) {
            for (const MessageBoxInfo& box : FindMessageBoxes(::GetCurrentProcessId())) {
              if (box.text.empty()) continue;  // not painted yet
              {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_seen.push_back(box.caption + L" | " + box.text);
              }
              ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
              // Wait for it to go, so one box is never counted twice.
              testing_support::win32::WaitUntil([&] { return !::IsWindow(box.window); },
                                                std::chrono::seconds(10));
            }
            ::Sleep(50);
          }
        }) {}
  ~BoxCloser() {
    m_stop = true;
    m_thread.join();
  }
  std::vector<std::wstring> Seen() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
  }

 private:
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::wstring> m_seen;
  std::thread m_thread;
};

std::wstring ProgramTitle() {
  return std::filesystem::path(os::OwnProgramPath().value()).stem().wstring();
}

// Records like the other tests' view, and shows each box as the program's
// window does, for the closer to find.
class BoxShowingView : public RecordingView {
 public:
  void ShowMessageBox(const std::wstring& text) override {
    RecordingView::ShowMessageBox(text);
    m_window.ShowMessageBox(text);
  }

 private:
  ui::win32::Win32Dialog m_window{::GetModuleHandleW(nullptr)};
};

class Win32TryStart : public testing::Test {
 protected:
  void Press() {
    CwardkeepDlg dialog(view);
    view.calls.clear();
    ULONGLONG start = ::GetTickCount64();
    dialog.OnTryStart();
    elapsedMs = ::GetTickCount64() - start;
  }
  void ExpectButtonRestored() {
    ASSERT_GE(view.calls.size(), 4u);
    EXPECT_EQ(view.calls[0], L"text 1000 启动..耐心等待");
    EXPECT_EQ(view.calls[1], L"enable 1000 0");
    EXPECT_EQ(view.texts[app::kTryStartButtonId], L"尝试启动");
    EXPECT_TRUE(view.enabled[app::kTryStartButtonId]);
    EXPECT_EQ(view.calls.back(), L"enable 1000 1");
  }

  tunable::ScopedTunable<std::chrono::milliseconds> shortPause{host::tunables::serviceStartPause,
                                                               std::chrono::milliseconds(kPauseMs)};
  BoxShowingView view;
  ULONGLONG elapsedMs = 0;
};

TEST_F(Win32TryStart, StartsTheStoppedServicesInOrderAndLeavesTheRunningOne) {
  auto redis = Register(L"redis-orv");
  auto mysql = Register(L"Mysql-orv");
  auto relay = Register(L"stock-relay");
  for (const auto* service : {redis.get(), mysql.get(), relay.get()}) {
    ASSERT_EQ(service->Error(), "");
  }
  ASSERT_TRUE(mysql->Start());
  const DWORD mysqlProcess = mysql->ProcessId();

  BoxCloser closer;
  Press();

  EXPECT_TRUE(redis->WaitForState(SERVICE_RUNNING));
  EXPECT_TRUE(relay->WaitForState(SERVICE_RUNNING));
  EXPECT_EQ(mysql->State(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(mysql->ProcessId(), mysqlProcess);  // left alone
  ULONGLONG redisAt = StartedAt(redis->ProcessId());
  ULONGLONG relayAt = StartedAt(relay->ProcessId());
  ASSERT_NE(redisAt, 0u);
  ASSERT_NE(relayAt, 0u);
  // Redis first, then the pause, then the upload service.
  EXPECT_GE(relayAt, redisAt + (kPauseMs - 100) * 10000ull);
  EXPECT_GE(elapsedMs, 2 * kPauseMs);  // one pause per accepted start
  EXPECT_LT(elapsedMs, 3 * kPauseMs + 20000);
  EXPECT_TRUE(closer.Seen().empty());
  ExpectButtonRestored();
}

TEST_F(Win32TryStart, AMissingServiceShowsTwoBoxesAndTheWalkGoesOn) {
  auto redis = Register(L"redis-orv");
  auto relay = Register(L"stock-relay");
  ASSERT_EQ(redis->Error(), "");
  ASSERT_EQ(relay->Error(), "");
  ASSERT_TRUE(redis->Start());

  BoxCloser closer;
  Press();

  EXPECT_TRUE(relay->WaitForState(SERVICE_RUNNING));
  const std::wstring box = ProgramTitle() + L" | OpenSCManager Open failed";
  EXPECT_EQ(closer.Seen(), (std::vector<std::wstring>{box, box}));
  EXPECT_EQ(ProgramTitle(), L"wardkeep_e2e_win32_tests");
  ExpectButtonRestored();
}

}  // namespace

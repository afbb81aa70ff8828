// The real wardkeep.exe's health cycle against the native stand-in on the
// production ports: hidden from its start while all is well, and then
// following the platform's answers, one cycle (20 s) behind at most.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/program_process.h"
#include "support/win32/standin_session.h"

namespace {

using namespace std::chrono_literals;
using testing_support::TempDir;
using testing_support::win32::ControlText;
using testing_support::win32::PressEscape;
using testing_support::win32::ProgramProcess;
using testing_support::win32::StandinSession;
using testing_support::win32::WaitUntil;

// One cycle, the exchange and Wine's slowness.
constexpr auto kCycle = 35s;

struct Shown {
  bool visible;
  std::wstring status;
  std::wstring erp;
};

Shown Read(HWND dialog) {
  return {::IsWindowVisible(dialog) != FALSE, ControlText(dialog, 1001), ControlText(dialog, 1006)};
}

TEST(WardkeepProgramHealth, NeverOnScreenWhileHealthyShownOnAFaultAndHiddenAgain) {
  StandinSession standin(WARDKEEP_NATIVE_STANDIN, {"--platform", "healthy"});
  ASSERT_EQ(standin.Error(), "");
  ASSERT_EQ(StandinSession::HealthHits(), 0);

  TempDir temp;
  std::filesystem::path program = temp / "wardkeep.exe";
  std::filesystem::copy_file(testing_support::win32::BuildPath(WARDKEEP_PROGRAM), program);
  ProgramProcess process(program.wstring());
  ASSERT_TRUE(process.Started());

  // From its start through two whole healthy cycles, sampled ten times a
  // second: the window never shows, not even for a moment at creation.
  HWND dialog = nullptr;
  int samples = 0;
  int visibleSamples = 0;
  // Two seconds past the second cycle's report, or two cycles at most.
  auto deadline = std::chrono::steady_clock::now() + 2 * kCycle;
  bool secondCycleSeen = false;
  while (std::chrono::steady_clock::now() < deadline) {
    if (dialog == nullptr) dialog = process.Dialog();
    if (dialog != nullptr) {
      ++samples;
      if (::IsWindowVisible(dialog)) ++visibleSamples;
    }
    if (!secondCycleSeen && StandinSession::HealthHits() >= 2) {
      secondCycleSeen = true;
      deadline = std::min(deadline, std::chrono::steady_clock::now() + 2s);
    }
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(secondCycleSeen) << "fewer than two health cycles";
  EXPECT_GT(samples, 200);  // about 40 s of them, ten a second
  EXPECT_EQ(visibleSamples, 0) << "of " << samples << " samples";
  EXPECT_TRUE(process.Running());
  Shown healthy = Read(dialog);
  EXPECT_EQ(healthy.status, L"服务正常运行");
  EXPECT_EQ(healthy.erp, L"");

  const std::wstring fault = L"数据库连接失败，请联系管理员";
  ASSERT_TRUE(standin.Control(
      R"({"platform":"fault","fault-text":"数据库连接失败，请联系管理员","erp":["门店ERP"]})"));
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(dialog) != FALSE; }, kCycle))
      << "a fault did not show the window within one cycle";
  // The text is written before the window is shown.
  Shown shown = Read(dialog);
  EXPECT_EQ(shown.status, fault);
  EXPECT_EQ(shown.erp, L"门店ERP");

  ASSERT_TRUE(standin.Control(R"({"platform":"healthy","no-erp":""})"));
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(dialog) == FALSE; }, kCycle))
      << "recovery did not hide the window within one cycle";
  Shown again = Read(dialog);
  EXPECT_EQ(again.status, L"服务正常运行");
  EXPECT_EQ(again.erp, L"");

  PressEscape(dialog);
  EXPECT_TRUE(process.WaitForEnd(15000));
}

}  // namespace

// The real wardkeep.exe's health cycle against the native stand-in on the
// production ports: the window follows the platform's answers, one cycle
// (20 s) behind at most.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST(WardkeepProgramHealth, TheWindowFollowsThePlatformFromCycleToCycle) {
  StandinSession standin(WARDKEEP_NATIVE_STANDIN, "--platform healthy");
  ASSERT_EQ(standin.Error(), "");

  TempDir temp;
  std::filesystem::path program = temp / "wardkeep.exe";
  std::filesystem::copy_file(testing_support::win32::BuildPath(WARDKEEP_PROGRAM), program);
  ProgramProcess process(program.wstring());
  ASSERT_TRUE(process.Started());
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = process.Dialog()) != nullptr; }, 30s));

  // First cycle: healthy, so hidden with the healthy text.
  ASSERT_TRUE(WaitUntil([&] { return ControlText(dialog, 1001) == L"服务正常运行"; }, kCycle));
  Shown healthy = Read(dialog);
  EXPECT_FALSE(healthy.visible);
  EXPECT_EQ(healthy.erp, L"");

  const std::wstring fault = L"数据库连接失败，请联系管理员";
  ASSERT_TRUE(standin.Control(
      R"({"platform":"fault","fault-text":"数据库连接失败，请联系管理员","erp":["门店ERP"]})"));
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(dialog) != FALSE; }, kCycle))
      << "a fault did not show the window within one cycle";
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

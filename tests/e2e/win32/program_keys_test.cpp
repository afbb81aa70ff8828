// The keys that end the real wardkeep.exe, pressed as the keyboard would from
// outside the program, and the Tab order that leads to the ERP box. In this
// suite because a copy of the program holds the single-instance mutex while
// it runs, and these suites run one test at a time.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/program_process.h"

namespace {

using namespace std::chrono_literals;
using testing_support::TempDir;
using testing_support::win32::ControlText;
using testing_support::win32::ProgramProcess;
using testing_support::win32::WaitUntil;

// The keys a user ends the program with, once its window is on screen, and
// the Tab order they reach the ERP box by. Each key goes to the control that
// has the focus, as the keyboard's would.
struct KeyStep {
  UINT key;
  bool alt;
  int focusAfter;              // the control that then has the focus; 0: the program has ended
  const wchar_t* statusAfter;  // the status box's text then, or null
};
struct KeyCase {
  const char* name;
  std::vector<KeyStep> steps;
};

void PrintTo(const KeyCase& c, std::ostream* out) {
  *out << c.name;
}

class WardkeepKeys : public testing::TestWithParam<KeyCase> {};

// Once the dialog has answered, its initialisation is over and the hide after
// start is queued; a marker posted behind it (a text limit on a figure nobody
// types in) shows when the program has handled everything queued before.
bool WaitUntilStarted(HWND dialog) {
  DWORD_PTR ignored = 0;
  if (!::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored)) return false;
  HWND figure = ::GetDlgItem(dialog, 1002);
  constexpr DWORD_PTR kMarker = 4321;
  ::PostMessageW(figure, EM_SETLIMITTEXT, kMarker, 0);
  return WaitUntil(
      [&] {
        DWORD_PTR limit = 0;
        ::SendMessageTimeoutW(figure, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 10000, &limit);
        return limit == kMarker;
      },
      30s);
}

TEST_P(WardkeepKeys, EndTheProgramOnlyAsTheDialogsKeysDo) {
  TempDir temp;
  const std::filesystem::path copy = temp / "wardkeep.exe";
  std::filesystem::copy_file(testing_support::win32::BuildPath(WARDKEEP_PROGRAM), copy);
  ProgramProcess program(copy.wstring());
  ASSERT_TRUE(program.Started());
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = program.Dialog()) != nullptr; }, 30s));
  ASSERT_TRUE(WaitUntilStarted(dialog));
  // Shown as a fault would show it.
  ASSERT_FALSE(::IsWindowVisible(dialog));
  ::ShowWindowAsync(dialog, SW_SHOWNORMAL);
  ::SetForegroundWindow(dialog);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return ::IsWindowVisible(dialog) &&
               testing_support::win32::FocusedWindow(dialog) == ::GetDlgItem(dialog, 1000);
      },
      15s))
      << "shown with the focus on the button";

  for (const KeyStep& step : GetParam().steps) {
    testing_support::win32::PressKey(dialog, step.key, step.alt);
    if (step.focusAfter == 0) {
      EXPECT_TRUE(program.WaitForEnd(15000)) << "key " << step.key << " did not end it";
      return;
    }
    HWND expected = ::GetDlgItem(dialog, step.focusAfter);
    EXPECT_TRUE(WaitUntil(
        [&] {
          return testing_support::win32::FocusedWindow(dialog) == expected &&
                 (step.statusAfter == nullptr || ControlText(dialog, 1001) == step.statusAfter);
        },
        10s))
        << "after key " << step.key;
    EXPECT_TRUE(program.Running());
  }
  ADD_FAILURE() << "the last step must end the program";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WardkeepKeys,
    testing::Values(KeyCase{"Escape", {{VK_ESCAPE, false, 0, nullptr}}},
                    KeyCase{"AltF4", {{VK_F4, true, 0, nullptr}}},
                    // Tab skips the disabled figures: button, status box, ERP box.
                    KeyCase{"EnterInTheErpBox",
                            {{VK_TAB, false, 1001, nullptr},
                             {VK_TAB, false, 1006, nullptr},
                             {VK_RETURN, false, 0, nullptr}}},
                    // In the multi-line status box Enter is a line break.
                    KeyCase{"EnterInTheStatusBoxThenEscape",
                            {{VK_TAB, false, 1001, nullptr},
                             {VK_RETURN, false, 1001, L"\r\n"},
                             {VK_ESCAPE, false, 0, nullptr}}}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

}  // namespace

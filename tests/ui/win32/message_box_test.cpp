// The Windows front end's message box, shown and closed for real under Wine
// (or Windows).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/win32/dialog_probe.h"
#include "ui/win32/win32_dialog.h"

namespace {

using testing_support::win32::FindMessageBoxes;
using testing_support::win32::MessageBoxInfo;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// The box's children of one window class that the user can see.
std::vector<HWND> VisibleChildren(HWND box, const std::wstring& className) {
  struct Search {
    std::wstring className;
    std::vector<HWND> found;
  } search{className, {}};
  ::EnumChildWindows(
      box,
      [](HWND child, LPARAM context) -> BOOL {
        auto* search = reinterpret_cast<Search*>(context);
        if (ClassOf(child) == search->className && ::IsWindowVisible(child)) {
          search->found.push_back(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<int> VisibleButtonIds(HWND box) {
  std::vector<int> ids;
  for (HWND button : VisibleChildren(box, L"Button")) ids.push_back(::GetDlgCtrlID(button));
  return ids;
}

std::vector<HICON> VisibleIcons(HWND box) {
  std::vector<HICON> icons;
  for (HWND control : VisibleChildren(box, L"Static")) {
    if ((::GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    icons.push_back(reinterpret_cast<HICON>(::SendMessageW(control, STM_GETICON, 0, 0)));
  }
  return icons;
}

TEST(Win32MessageBox, TitledWithTheProgramsBaseNameOkOnlyWithTheExclamationIcon) {
  ui::win32::Win32Dialog dialog(::GetModuleHandleW(nullptr));
  std::atomic<bool> returned{false};
  std::thread shower([&] {
    dialog.ShowMessageBox(L"QueryServiceStatusEx failed");
    returned = true;
  });

  std::vector<MessageBoxInfo> boxes;
  bool shown = testing_support::win32::WaitUntil(
      [&] {
        boxes = FindMessageBoxes(::GetCurrentProcessId());
        return !boxes.empty() && !boxes[0].text.empty();
      },
      std::chrono::seconds(30));
  if (shown) {
    EXPECT_EQ(boxes[0].caption, L"wardkeep_ui_win32_tests");
    EXPECT_EQ(boxes[0].text, L"QueryServiceStatusEx failed");
    EXPECT_EQ(VisibleButtonIds(boxes[0].window), std::vector<int>{IDOK});
    EXPECT_EQ(VisibleIcons(boxes[0].window),
              std::vector<HICON>{::LoadIconW(nullptr, IDI_EXCLAMATION)});
    EXPECT_FALSE(returned);  // the box is still up
    ::PostMessageW(boxes[0].window, WM_COMMAND, IDOK, 0);
  }
  // The call returns only once the box is closed; a box never found stays open.
  if (shown) {
    shower.join();
  } else {
    shower.detach();
  }
  ASSERT_TRUE(shown);
  EXPECT_TRUE(returned);
}

}  // namespace

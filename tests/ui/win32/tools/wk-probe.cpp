// wk-probe: reads and drives the status dialog from another process in the
// same prefix, for scripts (tests use the same helpers directly).
//
//   wk-probe wait [seconds]       until the status dialog exists (exit 1 if not)
//   wk-probe wait-hidden [seconds]  until it exists and is hidden
//   wk-probe wait-visible [seconds] until it exists and is on screen
//   wk-probe wait-text id [seconds]  until the control's text is not empty
//   wk-probe state                visibility and every control's text, UTF-8
//   wk-probe show                 makes it visible and brings it to the front
//   wk-probe escape               presses Escape in it
//   wk-probe rect                 its frame on the screen: width height left top
//   wk-probe boxes                caption and text of each message box
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/win32/dialog_probe.h"

namespace {

using testing_support::win32::ControlText;
using testing_support::win32::FindMessageBoxes;
using testing_support::win32::FindStatusDialog;
using testing_support::win32::ToUtf8;
using testing_support::win32::WaitUntil;

constexpr int kControls[] = {1000, 1001, 1002, 1003, 1005, 1006};

std::chrono::milliseconds Seconds(int argc, wchar_t** argv, int fallback) {
  int seconds = argc > 2 ? _wtoi(argv[2]) : fallback;
  return std::chrono::milliseconds(static_cast<long long>(seconds) * 1000);
}

int Usage() {
  std::fputs(
      "usage: wk-probe wait|wait-hidden|wait-visible [seconds] | wait-text id [seconds] | state | "
      "show | rect | escape | boxes\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  if (command == L"wait") {
    return WaitUntil([] { return FindStatusDialog() != nullptr; }, Seconds(argc, argv, 30)) ? 0 : 1;
  }
  if (command == L"wait-hidden") {
    return WaitUntil(
               [] {
                 HWND dialog = FindStatusDialog();
                 return dialog != nullptr && !::IsWindowVisible(dialog);
               },
               Seconds(argc, argv, 30))
               ? 0
               : 1;
  }
  if (command == L"wait-visible") {
    return WaitUntil(
               [] {
                 HWND dialog = FindStatusDialog();
                 return dialog != nullptr && ::IsWindowVisible(dialog);
               },
               Seconds(argc, argv, 30))
               ? 0
               : 1;
  }
  if (command == L"wait-text" && argc > 2) {
    int id = _wtoi(argv[2]);
    std::chrono::milliseconds timeout = Seconds(argc - 1, argv + 1, 30);
    return WaitUntil(
               [id] {
                 HWND dialog = FindStatusDialog();
                 return dialog != nullptr && !ControlText(dialog, id).empty();
               },
               timeout)
               ? 0
               : 1;
  }
  if (command == L"boxes") {
    for (const auto& box : FindMessageBoxes()) {
      std::printf("%s\t%s\n", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    }
    return 0;
  }
  HWND dialog = FindStatusDialog();
  if (dialog == nullptr) {
    std::fputs("wk-probe: no status dialog\n", stderr);
    return 1;
  }
  if (command == L"state") {
    std::printf("visible=%d\n", ::IsWindowVisible(dialog) ? 1 : 0);
    for (int id : kControls) {
      std::printf("%d=%s\n", id, ToUtf8(ControlText(dialog, id)).c_str());
    }
    return 0;
  }
  if (command == L"show") {
    ::ShowWindowAsync(dialog, SW_SHOWNORMAL);
    ::SetForegroundWindow(dialog);
    return WaitUntil([dialog] { return ::IsWindowVisible(dialog) != FALSE; },
                     std::chrono::seconds(10))
               ? 0
               : 1;
  }
  if (command == L"rect") {
    RECT frame{};
    if (!::GetWindowRect(dialog, &frame)) return 1;
    std::printf("%ld %ld %ld %ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left,
                frame.top);
    return 0;
  }
  if (command == L"escape") {
    testing_support::win32::PressEscape(dialog);
    return 0;
  }
  return Usage();
}

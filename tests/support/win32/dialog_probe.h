#pragma once
// Looks at the program's windows from another process in the same Wine prefix
// (or Windows session): the status dialog, its controls, message boxes.

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testing_support::win32 {

// The status dialog: a top-level "#32770" window with the button 1000 and the
// status edit 1001. `processId` 0 takes any process's.
HWND FindStatusDialog(DWORD processId = 0);

struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
};
// A top-level "#32770" window that is not the status dialog (a message box),
// with its caption and the text of its static control.
std::vector<MessageBoxInfo> FindMessageBoxes(DWORD processId = 0);

// A control's text through WM_GETTEXT, which works across processes; empty
// when the window does not answer within ten seconds.
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);

// Polls `condition` every 50 ms; true once it holds, false at the deadline.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Escape as a key press delivered to the dialog's button, as the keyboard would.
void PressEscape(HWND dialog);

// The window that has the keyboard focus in the dialog's thread, or null.
HWND FocusedWindow(HWND dialog);

// A key press (down and up) posted to whichever of the dialog's windows has
// the focus (the dialog itself when none does), as the keyboard would send
// it; `alt` holds Alt down (a system key, as for Alt+F4).
void PressKey(HWND dialog, UINT virtualKey, bool alt = false);

// UTF-8 for printing.
std::string ToUtf8(const std::wstring& text);

}  // namespace testing_support::win32

// Win32 test helper: finds and reads the program's windows from outside.
#include "support/win32/dialog_probe.h"

#include <thread>

namespace testing_support::win32 {
namespace {

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  int length = ::GetClassNameW(window, name, 64);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

DWORD OwningProcess(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  return processId;
}

std::vector<HWND> TopLevelDialogs(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  ::EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        if (ClassName(window) == L"#32770" &&
            (s->processId == 0 || OwningProcess(window) == s->processId)) {
          s->found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsStatusDialog(HWND window) {
  return ::GetDlgItem(window, 1000) != nullptr && ::GetDlgItem(window, 1001) != nullptr;
}

}  // namespace

HWND FindStatusDialog(DWORD processId) {
  for (HWND window : TopLevelDialogs(processId)) {
    if (IsStatusDialog(window)) return window;
  }
  return nullptr;
}

std::vector<MessageBoxInfo> FindMessageBoxes(DWORD processId) {
  std::vector<MessageBoxInfo> boxes;
  for (HWND window : TopLevelDialogs(processId)) {
    if (IsStatusDialog(window)) continue;
    MessageBoxInfo box;
    box.window = window;
    box.caption = WindowText(window);
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
          auto* info = reinterpret_cast<MessageBoxInfo*>(context);
          if (ClassName(child) != L"Static") return TRUE;
          std::wstring text = WindowText(child);
          if (text.empty()) return TRUE;
          info->text = text;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&box));
    boxes.push_back(box);
  }
  return boxes;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  // The first message from another process can take a second or two to be
  // answered under Wine.
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                             SMTO_NORMAL, 10000, &copied)) {
    return {};
  }
  return std::wstring(buffer, copied < 4096 ? copied : 4095);
}

std::wstring ControlText(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  return control != nullptr ? WindowText(control) : std::wstring();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void PressEscape(HWND dialog) {
  HWND button = ::GetDlgItem(dialog, 1000);
  HWND target = button != nullptr ? button : dialog;
  ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  ::PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

HWND FocusedWindow(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  DWORD thread = ::GetWindowThreadProcessId(dialog, nullptr);
  if (thread == 0 || !::GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

void PressKey(HWND dialog, UINT virtualKey, bool alt) {
  HWND focus = FocusedWindow(dialog);
  HWND target = focus != nullptr ? focus : dialog;
  UINT scan = ::MapVirtualKeyW(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
  LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16) | (alt ? KF_ALTDOWN << 16 : 0);
  LPARAM up = down | (static_cast<LPARAM>(KF_REPEAT | KF_UP) << 16);
  ::PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, down);
  ::PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, virtualKey, up);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes,
                        nullptr, nullptr);
  return out;
}

}  // namespace testing_support::win32

// Windows front end: the modal dialog procedure and the view operations.
#include "ui/win32/win32_dialog.h"

#include <commctrl.h>

#include <vector>

#include "app/dialog_ids.h"
#include "app/guarded.h"
#include "app/wardkeep_dlg.h"
#include "os/session.h"
#include "ui/win32/modal_loop.h"

namespace ui::win32 {
namespace {

HICON AsIcon(app::IconHandle icon) {
  return static_cast<HICON>(const_cast<void*>(icon));
}

}  // namespace

void Win32Dialog::InitCommonControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;  // 8
  controls.dwICC = ICC_WIN95_CLASSES;
  ::InitCommonControlsEx(&controls);
}

// Not DialogBoxParamW: the system's modal loop shows a dialog when its queue
// first goes idle, which comes after the posted hide and would put the window
// on screen until the first healthy cycle. Like the framework, we create the
// dialog modeless and run our own loop, which never shows it by itself. The
// template keeps WS_VISIBLE; the copy we create from drops it, because a
// modeless dialog would otherwise be shown right after WM_INITDIALOG, a
// moment before the posted hide. So the window is hidden from its creation,
// the hide finds it hidden, and only a health cycle's fault shows it.
void Win32Dialog::RunModal(CwardkeepDlg& dialog) {
  m_dialog = &dialog;
  m_continueModal = true;
  const std::vector<unsigned char> hidden = LoadTemplateHidden(m_instance, app::kDialogTemplateId);
  HWND window = hidden.empty()
                    ? ::CreateDialogParamW(m_instance, MAKEINTRESOURCEW(app::kDialogTemplateId),
                                           nullptr, DialogProc, reinterpret_cast<LPARAM>(this))
                    : ::CreateDialogIndirectParamW(
                          m_instance, reinterpret_cast<LPCDLGTEMPLATEW>(hidden.data()), nullptr,
                          DialogProc, reinterpret_cast<LPARAM>(this));
  if (window != nullptr) {
    RunModalLoop(window, m_continueModal);
    ::DestroyWindow(window);
  }
  m_continueModal = false;
  m_dialog = nullptr;
  m_window = nullptr;
}

void Win32Dialog::EndModal() {
  m_continueModal = false;
  // Wakes the loop should the request come from inside a nested one.
  ::PostMessageW(m_window, WM_NULL, 0, 0);
}

app::IconHandle Win32Dialog::LoadAppIcon() {
  return ::LoadIconW(m_instance, MAKEINTRESOURCEW(app::kIconGroupId));
}

void Win32Dialog::SetIcon(app::IconSize size, app::IconHandle icon) {
  ::SendMessageW(m_window, WM_SETICON, size == app::IconSize::Big ? ICON_BIG : ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon));
}

bool Win32Dialog::HasControl(int id) {
  return m_window != nullptr && ::GetDlgItem(m_window, id) != nullptr;
}

void Win32Dialog::SetControlText(int id, const std::wstring& text) {
  ::SetDlgItemTextW(m_window, id, text.c_str());
}

void Win32Dialog::EnableControl(int id, bool enabled) {
  HWND control = ::GetDlgItem(m_window, id);
  if (control != nullptr) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void Win32Dialog::ShowWindow(bool visible) {
  ::ShowWindow(m_window, visible ? SW_SHOW : SW_HIDE);
}

bool Win32Dialog::SetTimer(unsigned id, unsigned milliseconds) {
  return ::SetTimer(m_window, id, milliseconds, nullptr) != 0;
}

void Win32Dialog::PostMessageToSelf(unsigned message) {
  ::PostMessageW(m_window, message, 0, 0);
}

// Owned by the dialog while it exists, so the box stays in front of it and the
// dialog takes no input until the box is closed.
void Win32Dialog::ShowMessageBox(const std::wstring& text) {
  ::MessageBoxW(m_window, text.c_str(), os::AppTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

INT_PTR CALLBACK Win32Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Win32Dialog*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_window = window;
  }
  if (self == nullptr || self->m_dialog == nullptr) return FALSE;
  return self->Handle(message, wParam);
}

INT_PTR Win32Dialog::Handle(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_INITDIALOG: {
      bool focusFirst = true;
      app::Guarded([&] { focusFirst = m_dialog->OnInitDialog(); });
      return focusFirst ? TRUE : FALSE;
    }
    case WM_PAINT:
      if (!::IsIconic(m_window)) return FALSE;  // the dialog's own painting
      app::Guarded([&] { PaintMinimised(); });
      return TRUE;
    case WM_QUERYDRAGICON: {
      // One of the few messages whose result is the procedure's return value.
      app::IconHandle icon = nullptr;
      app::Guarded([&] { icon = m_dialog->OnQueryDragIcon(); });
      return reinterpret_cast<INT_PTR>(icon);
    }
    case WM_TIMER:
      app::Guarded([&] { m_dialog->OnHealthTimer(static_cast<unsigned>(wParam)); });
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) {
        EndModal();
        return TRUE;
      }
      if (id == app::kTryStartButtonId && HIWORD(wParam) == BN_CLICKED) {
        app::Guarded([&] { m_dialog->OnTryStart(); });
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      m_continueModal = false;
      return FALSE;
    default:
      break;
  }
  if (message == app::kHideAfterStartMessage) {
    long result = 0;
    app::Guarded([&] { result = m_dialog->OnHideAfterStart(); });
    ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT, result);
    return TRUE;
  }
  return FALSE;
}

void Win32Dialog::PaintMinimised() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(m_window, &paint);
  ::SendMessageW(m_window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int cx = ::GetSystemMetrics(SM_CXICON);
  int cy = ::GetSystemMetrics(SM_CYICON);
  RECT client{};
  ::GetClientRect(m_window, &client);
  int x = (client.right - client.left - cx + 1) / 2;
  int y = (client.bottom - client.top - cy + 1) / 2;
  ::DrawIcon(dc, x, y, AsIcon(m_dialog->OnQueryDragIcon()));
  ::EndPaint(m_window, &paint);
}

}  // namespace ui::win32

#pragma once
// The Windows front end: the status dialog from template 102, run modally by
// our own loop,
// with the dialog logic's view operations as plain window calls.

#include <windows.h>

#include "app/dialog_host.h"
#include "app/view.h"

namespace ui::win32 {

class Win32Dialog : public app::DialogHost, public app::View {
 public:
  explicit Win32Dialog(HINSTANCE instance) : m_instance(instance) {}

  // DialogHost
  void InitCommonControls() override;
  app::View& GetView() override { return *this; }
  void RunModal(CwardkeepDlg& dialog) override;

  // View
  app::IconHandle LoadAppIcon() override;
  void SetIcon(app::IconSize size, app::IconHandle icon) override;
  bool HasControl(int id) override;
  void SetControlText(int id, const std::wstring& text) override;
  void EnableControl(int id, bool enabled) override;
  void ShowWindow(bool visible) override;
  bool SetTimer(unsigned id, unsigned milliseconds) override;
  void PostMessageToSelf(unsigned message) override;
  // MessageBoxOwner
  void ShowMessageBox(const std::wstring& text) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam);
  void PaintMinimised();
  // IDOK or IDCANCEL: the modal loop stops after the current message.
  void EndModal();

  HINSTANCE m_instance;
  HWND m_window = nullptr;
  CwardkeepDlg* m_dialog = nullptr;
  bool m_continueModal = false;
};

}  // namespace ui::win32

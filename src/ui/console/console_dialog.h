#pragma once
// The native view of the status dialog: a text panel while shown, one status
// line while hidden, driven by the poll loop.

#include <map>
#include <string>

#include "app/dialog_host.h"
#include "app/view.h"
#include "ui/console/message_loop.h"

namespace ui::console {

class ConsoleDialog : public app::DialogHost, public app::View {
 public:
  // `interactive`: standard output is a terminal, so the panel is redrawn in
  // place; otherwise each change is printed as plain lines.
  // `keyInput` is the descriptor keys are read from (the program's own
  // terminal), -1 for none.
  explicit ConsoleDialog(bool interactive, int keyInput = -1);

  // DialogHost
  void InitCommonControls() override {}
  app::View& GetView() override { return *this; }
  void RunModal(CwardkeepDlg& dialog) override;

  // View
  app::IconHandle LoadAppIcon() override { return nullptr; }
  void SetIcon(app::IconSize, app::IconHandle) override {}
  bool HasControl(int id) override;
  void SetControlText(int id, const std::wstring& text) override;
  void EnableControl(int id, bool enabled) override;
  void ShowWindow(bool visible) override;
  bool SetTimer(unsigned id, unsigned milliseconds) override;
  void PostMessageToSelf(unsigned message) override;
  // MessageBoxOwner: a line on standard error and in the panel.
  void ShowMessageBox(const std::wstring& text) override;

 private:
  void Dispatch(CwardkeepDlg& dialog, unsigned message);
  void OnKey(CwardkeepDlg& dialog, Key key);
  void Render();
  std::wstring Text(int id) const;
  std::wstring RenderPanel() const;

  bool m_interactive;
  int m_keyInput;
  bool m_visible = false;
  bool m_dirty = true;
  std::map<int, std::wstring> m_texts;
  bool m_buttonEnabled = true;
  std::wstring m_notice;
  std::wstring m_lastDrawn;
  MessageLoop m_loop;
};

}  // namespace ui::console

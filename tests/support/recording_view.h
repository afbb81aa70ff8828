#pragma once
// A view that keeps the control texts like a window would and records every
// call in order, message boxes included, so tests can check what the dialog
// did and when.

#include <map>
#include <string>
#include <vector>

#include "app/view.h"

namespace testing_support {

class RecordingView : public app::View {
 public:
  // Icon handle the view hands out, so tests can check where it went.
  static inline const int kIcon = 0;

  app::IconHandle LoadAppIcon() override;
  void SetIcon(app::IconSize size, app::IconHandle icon) override;
  bool HasControl(int id) override;
  void SetControlText(int id, const std::wstring& text) override;
  void EnableControl(int id, bool enabled) override;
  void ShowWindow(bool visible) override;
  bool SetTimer(unsigned id, unsigned milliseconds) override;
  void PostMessageToSelf(unsigned message) override;
  void ShowMessageBox(const std::wstring& text) override;

  // One entry per call, e.g. "text 1001 服务正常运行", "show 0", "timer 1 20000",
  // "box OpenSCManager Open failed".
  std::vector<std::wstring> calls;
  std::map<int, std::wstring> texts;
  std::map<int, bool> enabled;
  bool visible = true;
  bool hasButton = true;
  // How many SetTimer calls fail before one succeeds.
  int timerRefusals = 0;
  std::vector<unsigned> posted;
  std::vector<std::wstring> boxes;
};

}  // namespace testing_support

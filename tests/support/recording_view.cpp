#include "support/recording_view.h"

#include "app/dialog_ids.h"

namespace testing_support {

app::IconHandle RecordingView::LoadAppIcon() {
  calls.push_back(L"load-icon");
  return &kIcon;
}

void RecordingView::SetIcon(app::IconSize size, app::IconHandle icon) {
  calls.push_back(std::wstring(L"icon ") + (size == app::IconSize::Big ? L"big" : L"small") +
                  (icon == &kIcon ? L" app" : L" other"));
}

bool RecordingView::HasControl(int id) {
  return id != app::kTryStartButtonId || hasButton;
}

void RecordingView::SetControlText(int id, const std::wstring& text) {
  calls.push_back(L"text " + std::to_wstring(id) + L" " + text);
  texts[id] = text;
}

void RecordingView::EnableControl(int id, bool on) {
  calls.push_back(L"enable " + std::to_wstring(id) + (on ? L" 1" : L" 0"));
  enabled[id] = on;
}

void RecordingView::ShowWindow(bool show) {
  calls.push_back(show ? L"show 1" : L"show 0");
  visible = show;
}

bool RecordingView::SetTimer(unsigned id, unsigned milliseconds) {
  if (timerRefusals > 0) {
    --timerRefusals;
    calls.push_back(L"timer refused " + std::to_wstring(id));
    return false;
  }
  calls.push_back(L"timer " + std::to_wstring(id) + L" " + std::to_wstring(milliseconds));
  return true;
}

void RecordingView::PostMessageToSelf(unsigned message) {
  calls.push_back(L"post " + std::to_wstring(message));
  posted.push_back(message);
}

void RecordingView::ShowMessageBox(const std::wstring& text) {
  calls.push_back(L"box " + text);
  boxes.push_back(text);
}

}  // namespace testing_support

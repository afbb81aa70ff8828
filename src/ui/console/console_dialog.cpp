// Console front end: the status dialog as a text panel.
#include "ui/console/console_dialog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/dialog_ids.h"
#include "app/guarded.h"
#include "app/wardkeep_dlg.h"
#include "os/session.h"
#include "text/utf8.h"
#include "ui/console/tunables.h"

namespace ui::console {
namespace {

constexpr const char* kClearScreen = "\x1b[H\x1b[2J";

void WriteOut(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void WriteError(const std::string& bytes) {
  std::fputs(bytes.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

ConsoleDialog::ConsoleDialog(bool interactive, int keyInput)
    : m_interactive(interactive), m_keyInput(keyInput) {
  m_texts[app::kTryStartButtonId] = L"尝试启动";
}

bool ConsoleDialog::HasControl(int id) {
  switch (id) {
    case app::kTryStartButtonId:
    case app::kStatusEditId:
    case app::kMemFreeEditId:
    case app::kDiskCEditId:
    case app::kDiskDEditId:
    case app::kErpEditId:
      return true;
    default:
      return false;
  }
}

void ConsoleDialog::SetControlText(int id, const std::wstring& text) {
  if (!HasControl(id)) return;
  m_texts[id] = text;
  m_dirty = true;
}

void ConsoleDialog::EnableControl(int id, bool enabled) {
  if (id != app::kTryStartButtonId) return;
  m_buttonEnabled = enabled;
  m_dirty = true;
  // The button's own handler runs inside the loop; draw its busy state now.
  Render();
}

void ConsoleDialog::ShowWindow(bool visible) {
  m_visible = visible;
  m_dirty = true;
}

bool ConsoleDialog::SetTimer(unsigned id, unsigned milliseconds) {
  const std::chrono::milliseconds period(milliseconds);
  m_loop.SetTimer(id, tunable::WholeMilliseconds(std::min(period, tunables::longestTimer.Get())));
  return true;  // the poll loop's timers are entries in a map
}

void ConsoleDialog::PostMessageToSelf(unsigned message) {
  m_loop.Post(message);
}

void ConsoleDialog::ShowMessageBox(const std::wstring& text) {
  // Standard error keeps every box, the panel only the latest.
  WriteError(text::WideToUtf8(os::AppTitle() + L": " + text) + "\n");
  m_notice = text;
  m_dirty = true;
  Render();
}

void ConsoleDialog::RunModal(CwardkeepDlg& dialog) {
  m_visible = true;  // the template is visible when the modal run starts
  app::Guarded([&] { dialog.OnInitDialog(); });
  MessageLoop::Handlers handlers;
  handlers.onPosted = [&](unsigned message) { app::Guarded([&] { Dispatch(dialog, message); }); };
  handlers.onTimer = [&](unsigned timerId) {
    app::Guarded([&] { dialog.OnHealthTimer(timerId); });
  };
  handlers.onKey = [&](Key key) { app::Guarded([&] { OnKey(dialog, key); }); };
  handlers.onIdle = [&] { app::Guarded([&] { Render(); }); };
  m_loop.Run(handlers, m_keyInput);
}

void ConsoleDialog::Dispatch(CwardkeepDlg& dialog, unsigned message) {
  if (message == app::kHideAfterStartMessage) dialog.OnHideAfterStart();
}

void ConsoleDialog::OnKey(CwardkeepDlg& dialog, Key key) {
  if (key == Key::Escape) {
    m_loop.Quit();  // IDCANCEL ends the modal run
    return;
  }
  // A hidden window takes no keys; shown, the button has the focus, as on
  // Windows, and a disabled button ignores Enter. Escape above is the console's
  // only way to end the program, so it works hidden too.
  if (m_visible && m_buttonEnabled) dialog.OnTryStart();
}

std::wstring ConsoleDialog::Text(int id) const {
  auto found = m_texts.find(id);
  return found == m_texts.end() ? std::wstring() : found->second;
}

std::wstring ConsoleDialog::RenderPanel() const {
  std::wstring panel = L"+-- Vellun电子价签 ------------------------------------------\n";
  std::wstring status = Text(app::kStatusEditId);
  std::size_t begin = 0;
  do {
    std::size_t end = status.find(L'\n', begin);
    std::wstring line = status.substr(begin, end == std::wstring::npos ? end : end - begin);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    panel += L"| " + line + L"\n";
    begin = end == std::wstring::npos ? end : end + 1;
  } while (begin != std::wstring::npos);
  std::wstring button = m_buttonEnabled ? L"[ " + Text(app::kTryStartButtonId) + L" ]"
                                        : L"( " + Text(app::kTryStartButtonId) + L" )";
  panel += L"|\n";
  panel += L"| 内存剩余(MB)  " + Text(app::kMemFreeEditId) + L"\n";
  panel += L"| C盘剩余       " + Text(app::kDiskCEditId) + L"\n";
  panel += L"| D盘剩余       " + Text(app::kDiskDEditId) + L"\n";
  panel += L"| ERP：         " + Text(app::kErpEditId) + L"\n";
  panel += L"|                                   " + button + L"\n";
  if (!m_notice.empty()) panel += L"| ! " + m_notice + L"\n";
  panel += L"+-- Enter: press the button   Esc: quit --------------------\n";
  return panel;
}

void ConsoleDialog::Render() {
  if (!m_dirty) return;
  m_dirty = false;
  std::wstring frame =
      m_visible ? RenderPanel() : L"wardkeep (hidden) " + Text(app::kStatusEditId) + L"\n";
  if (frame == m_lastDrawn) return;
  m_lastDrawn = frame;
  WriteOut((m_interactive ? std::string(kClearScreen) : std::string()) + text::WideToUtf8(frame));
}

}  // namespace ui::console

#pragma once
// The process entry: one copy per log-on, the autostart entry, then the status
// dialog for the rest of the process's life.

#include <string>

#include "app/dialog_host.h"

namespace app {

constexpr const wchar_t* kSingleInstanceName = L"ORV_WARDKEEP";
constexpr const wchar_t* kAutostartValueName = L"orvWardkeep";

// At start: where the machine's task starts the program at log-on, removes
// this user's own entry (a copy from each would race at log-on); otherwise
// writes it for the running program.
void SetUpAutostart();

}  // namespace app

class CwardkeepApp {
 public:
  explicit CwardkeepApp(app::DialogHost& host) : m_host(host) {}
  // Always false, so the caller never runs a message loop of its own: the
  // process ends when this returns.
  bool InitInstance();

 private:
  app::DialogHost& m_host;
};

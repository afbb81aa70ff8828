#pragma once
// The process entry: one copy per log-on, the autostart entry, then the status
// dialog for the rest of the process's life.

#include <string>

#include "app/dialog_host.h"

namespace app {

constexpr const wchar_t* kSingleInstanceName = L"ORV_WARDKEEP";
constexpr const wchar_t* kAutostartValueName = L"orvWardkeep";

// Writes the autostart entry; a failure is not reported, the watch goes on.
void RegisterAutostart(const std::wstring& valueName, const std::wstring& data);

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

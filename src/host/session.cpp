#include "host/session.h"

#include "os/session.h"

namespace host {

bool AcquireSingleInstance(const std::wstring& name) {
  return os::AcquireSingleInstance(name);
}

void WriteAutostartEntry(const std::wstring& entryName, const std::wstring& programPath) {
  os::WriteAutostartEntry(entryName, programPath);
}

std::wstring ModuleFileName() {
  return os::ModuleFileName();
}

void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption) {
  // guide-texts: forwarded
  os::ShowStartupMessageBox(text, caption);
}

}  // namespace host

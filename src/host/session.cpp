#include "host/session.h"

#include <optional>

#include "os/policy.h"
#include "os/session.h"
#include "path/windows_path.h"

namespace host {
namespace {

constexpr const wchar_t* kAutostartPolicy = L"Autostart";

// Policy words are ASCII; an administrator may well write "Task".
std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

}  // namespace

bool AcquireSingleInstance(const std::wstring& name) {
  return os::AcquireSingleInstance(name);
}

void WriteAutostartEntry(const std::wstring& entryName) {
  const std::optional<std::wstring> program = os::OwnProgramPath();
  if (!program || path::Parent(*program).empty()) return;
  os::WriteAutostartEntry(entryName, *program);
}

void RemoveAutostartEntry(const std::wstring& entryName) {
  os::RemoveAutostartEntry(entryName);
}

AutostartRoute AutostartRouteByPolicy() {
  const std::optional<std::wstring> value = os::ReadPolicyText(kAutostartPolicy);
  return value && AsciiLower(*value) == L"task" ? AutostartRoute::MachineTask
                                                : AutostartRoute::UserEntry;
}

void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption) {
  // guide-texts: forwarded
  os::ShowStartupMessageBox(text, caption);
}

}  // namespace host

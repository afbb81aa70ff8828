// Win32 test helper: host shell commands started through Wine.
#include "support/win32/host_shell.h"

#include <windows.h>

#include <vector>

#include "support/win32/dialog_probe.h"

namespace testing_support::win32 {

bool StartHostShell(const std::string& script) {
  if (script.find('"') != std::string::npos) return false;
  std::string line = "Z:\\bin\\sh -c \"" + script + "\"";
  int units = ::MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
  if (units <= 0) return false;
  std::vector<wchar_t> commandLine(static_cast<std::size_t>(units));
  ::MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, commandLine.data(), units);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return false;
  }
  if (info.hThread != nullptr) ::CloseHandle(info.hThread);
  if (info.hProcess != nullptr) ::CloseHandle(info.hProcess);
  return true;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string HostPath(const std::wstring& windowsPath) {
  if (windowsPath.size() < 3 || (windowsPath[0] != L'Z' && windowsPath[0] != L'z') ||
      windowsPath[1] != L':') {
    return {};
  }
  std::string path = ToUtf8(windowsPath.substr(2));
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

}  // namespace testing_support::win32

#pragma once
// What the program's start-up asks of the log-on session: one running copy, the
// autostart entry, its own file name, a message box before there is a window.

#include <string>

namespace host {

// Takes the single-instance guard of `name` for the rest of the process; false
// when another copy holds it or it cannot be taken.
bool AcquireSingleInstance(const std::wstring& name);

// Starts `programPath` at the user's log-on; failures are silent.
void WriteAutostartEntry(const std::wstring& entryName, const std::wstring& programPath);

// The running program's path as the platform reports it (possibly cut short).
std::wstring ModuleFileName();

// OK only, no owner window: for errors before the dialog exists.
void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption);

}  // namespace host

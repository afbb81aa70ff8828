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

// Removes this user's autostart entry of that name, if any; failures are silent.
void RemoveAutostartEntry(const std::wstring& entryName);

// What starts the program at log-on, as the machine's administrator decided
// (policy "Autostart"): the scheduled task registered for every user
// ("task"), or, by default and for any other value, the user's own entry.
enum class AutostartRoute { UserEntry, MachineTask };
AutostartRoute AutostartRouteByPolicy();

// The running program's path as the platform reports it (possibly cut short).
std::wstring ModuleFileName();

// OK only, no owner window: for errors before the dialog exists.
void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption);

}  // namespace host

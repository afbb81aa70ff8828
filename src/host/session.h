#pragma once
// What the program's start-up asks of the log-on session: one running copy, the
// autostart entry naming its own path, a message box before there is a window.

#include <string>

namespace host {

// Takes the single-instance guard of `name` for the rest of the process; false
// when another copy holds it or it cannot be taken.
bool AcquireSingleInstance(const std::wstring& name);

// Starts the running program at the user's log-on, named by its own full
// path. A program whose path cannot be read whole, or has no folder, writes
// no entry rather than a wrong one. Failures are silent.
void WriteAutostartEntry(const std::wstring& entryName);

// Removes this user's autostart entry of that name, if any; failures are silent.
void RemoveAutostartEntry(const std::wstring& entryName);

// What starts the program at log-on, as the machine's administrator decided
// (policy "Autostart"): the scheduled task registered for every user
// ("task"), or, by default and for any other value, the user's own entry.
enum class AutostartRoute { UserEntry, MachineTask };
AutostartRoute AutostartRouteByPolicy();

// OK only, no owner window: for errors before the dialog exists.
void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption);

}  // namespace host

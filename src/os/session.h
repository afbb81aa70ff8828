#pragma once
// Process-level services of the operating system: the single-instance guard,
// the autostart entry, the program's own path and the start-up message box.

#include <string>

namespace os {

// Takes the per-log-on single-instance guard of the given name and keeps it for
// the rest of the process. False when another process holds it or it cannot be
// taken at all; the caller treats both alike.
bool AcquireSingleInstance(const std::wstring& name);

// Writes the entry that starts the program at the user's log-on; `programPath`
// is the program's own Windows-form path. Failures are silent by design.
void WriteAutostartEntry(const std::wstring& entryName, const std::wstring& programPath);

// The running program's full path, Windows form (at most MAX_PATH - 1 characters
// on Windows, as the platform reports it).
std::wstring ModuleFileName();

// A message box with no owner window, OK only, in English (start-up errors).
void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption);

}  // namespace os

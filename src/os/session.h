#pragma once
// Process-level services of the operating system: the single-instance guard,
// the autostart entry, the program's own path and title, the start-up message box.

#include <memory>
#include <optional>
#include <string>

namespace os {

// Later library loads come from the system directory only, never from the
// program's own folder or the working directory, where another user may put a
// library of a system's name (Windows: the default DLL directories; nothing
// natively). Called first at start-up, before anything loads a library.
void RestrictLibrarySearch();

// Takes the per-log-on single-instance guard of the given name and keeps it for
// the rest of the process. False when another process holds it or it cannot be
// taken at all; the caller treats both alike.
bool AcquireSingleInstance(const std::wstring& name);

// Writes the entry that starts the program at the user's log-on; `programPath`
// is the program's own Windows-form path, stored quoted so that a space in a
// folder's name cannot make the log-on start a shorter path's program.
// Failures are silent by design.
void WriteAutostartEntry(const std::wstring& entryName, const std::wstring& programPath);

// Removes that entry of this user, if there is one; failures are silent.
void RemoveAutostartEntry(const std::wstring& entryName);

// The running program's full path, Windows form; nothing when it cannot be
// read whole: one longer than the platform's buffer (MAX_PATH on Windows)
// comes back cut short and may name an ancestor, and natively a program
// outside every mapped drive has no Windows form. Callers take its folder and
// file name with path::Parent and path::FileName.
std::optional<std::wstring> OwnProgramPath();

// The program file's base name without its extension: the caption of the
// program's own message boxes, as the framework titles them.
std::wstring AppTitle();

// Whether this process may stop and start the machine's services: Windows an
// administrator's full (elevated) token, natively the superuser.
enum class ProcessRights {
  Full,      // elevated, or an administrator without the approval mode
  Filtered,  // an administrator's filtered token (UAC): no service control
  Standard,  // no administrator at all
};
ProcessRights CurrentProcessRights();

// A message box with no owner window, OK only, in English (start-up errors,
// before there is a dialog to own one).
void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption);

}  // namespace os

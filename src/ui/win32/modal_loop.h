#pragma once
// The dialog's modal run, done as the framework does it: a modeless dialog
// created from a copy of its template, and our own message loop over it.

#include <windows.h>

#include <vector>

namespace ui::win32 {

// Dialog template `id` from the module's resources, copied, with WS_VISIBLE
// taken out of the copy's window style. Empty when the resource cannot be read
// or is too short to be a template.
std::vector<unsigned char> LoadTemplateHidden(HINSTANCE instance, int id);

// Gets and dispatches the thread's messages, with the dialog's keyboard
// handling (Tab, Enter, Escape, mnemonics) for `dialog`, until `keepRunning`
// turns false after a dispatch, the dialog is gone, or the thread is told to
// quit (the quit request is posted again for whoever loops next).
void RunModalLoop(HWND dialog, const bool& keepRunning);

}  // namespace ui::win32

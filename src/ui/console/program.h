#pragma once
// The native program, from the locale to the end of the dialog's modal run.

namespace ui::console {

// Runs the program on the calling thread; the exit code.
int RunProgram();

}  // namespace ui::console

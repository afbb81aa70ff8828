#pragma once
// Runs one command line as a new process and waits for it, for a bounded time.

#include <string>

namespace upgrade {

// The command may run for tunables::commandTimeLimit; one still
// running then is ended.

// True when the command was started and ended within the limit, whatever its
// exit code; false when it could not be started or had to be ended.
bool RunAndWait(std::wstring commandLine);

}  // namespace upgrade

#pragma once
// Runs one command line as a new process and waits for it, for a bounded time.

#include <string>

// The command may run for upgrade::tunables::commandTimeLimit; one still
// running then is ended.

// True when the command was started and ended within the limit, whatever its
// exit code; false when it could not be started or had to be ended.
bool RunAndWait(std::wstring commandLine);

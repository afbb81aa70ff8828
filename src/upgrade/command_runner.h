#pragma once
// Runs one command line as a new process and waits for it, for a bounded time.

#include <string>

#include "os/tunable.h"

namespace upgrade {
// How long a command may run; one still running then is ended.
inline os::Tunable<unsigned> g_commandTimeLimitMs{5 * 60 * 1000};
}  // namespace upgrade

// True when the command was started and ended within the limit, whatever its
// exit code; false when it could not be started or had to be ended.
bool RunAndWait(std::wstring commandLine);

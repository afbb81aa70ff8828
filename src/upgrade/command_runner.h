#pragma once
// Runs one of the system's own programs ("net") and waits for it, for a
// bounded time.

#include <string>

namespace upgrade {

// The command may run for tunables::commandTimeLimit; one still running then
// is ended. On Windows `program` is the system directory's own, never one found
// beside this program. True when it was started and ended within the limit,
// whatever its exit code; false when it could not be started or had to be
// ended.
bool RunAndWait(const std::wstring& program, const std::wstring& arguments);

}  // namespace upgrade

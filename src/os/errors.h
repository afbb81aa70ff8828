#pragma once
// Why the last operation failed, in the operating system's own words, so that
// a failure's cause reaches the line that reports it.

#include <string>

namespace os {

// The last error of the calling thread (errno, GetLastError) as text with its
// number, e.g. "Permission denied (13)"; empty when none is recorded. Read it
// right after the failed operation: later calls may overwrite it.
std::wstring LastErrorText();

// Forgets the last error, so that a failure without one of its own is not
// blamed on an earlier call.
void ClearLastError();

}  // namespace os

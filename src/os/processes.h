#pragma once
// Starting other programs and waiting for them.

#include <string>

namespace os {

enum class LaunchResult {
  NotStarted,  // the program could not be launched
  Ended,       // it ran and ended within the time allowed
  TimedOut,    // it was still running at the deadline and has been ended
};

// One of the system's own programs by name ("net"): Windows starts
// <system directory>\<program>.exe, named as the application, with the command
// line "<program> <arguments>", never found by a search (a program of that
// name beside ours is never run); natively the program is found on PATH (the
// demo and the tests put stand-ins there). A name with a path separator or a
// space is refused. Natively the child shares the caller's standard output and
// error; on Windows no handle is inherited, so a console program writes to the
// caller's console, or to a new one when the caller (a windowed program) has
// none. Waits at most `timeoutMilliseconds`; a program still running then is
// ended, with what it started where the platform can. The exit code is not read.
LaunchResult RunSystemProgramAndWait(const std::wstring& program, const std::wstring& arguments,
                                     unsigned timeoutMilliseconds);

}  // namespace os

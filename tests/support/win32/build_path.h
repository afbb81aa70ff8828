#pragma once
// Paths the build wrote into the suites (WARDKEEP_PROGRAM, ...). A cross
// build writes the host's Unix paths; under Wine drive Z: shows the host's root.

#include <string>

namespace testing_support::win32 {

std::wstring BuildPath(const char* path);

// The program file the suites start: the build's own (builtPath), or the copy
// that WARDKEEP_PROGRAM_UNDER_TEST names, such as a packaged release.
std::wstring ProgramUnderTest(const char* builtPath);

}  // namespace testing_support::win32

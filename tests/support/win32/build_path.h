#pragma once
// Paths the build wrote into the suites (WARDKEEP_PROGRAM, ...). A cross
// build writes the host's Unix paths; under Wine drive Z: shows the host's root.

#include <string>

namespace testing_support::win32 {

std::wstring BuildPath(const char* path);

}  // namespace testing_support::win32

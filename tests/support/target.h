#pragma once
// Which target a portable suite was built for, for the few rows whose answer
// the platform decides (the one place a suite asks).

namespace testing_support {

#ifdef _WIN32
constexpr bool kWindowsTarget = true;
#else
constexpr bool kWindowsTarget = false;
#endif

}  // namespace testing_support

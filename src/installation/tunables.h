#pragma once
// Which owners make a root count. Production only reads; a test on a system
// that keeps no file owners (Wine) names its own account here, in-process.

#include <string>

#include "tunable/tunable.h"

namespace installation::tunables {

// One more owner that counts besides the administrators' accounts, as
// os::HeldFolder::OwnerId gives it; empty (none) in the program.
inline tunable::Tunable<std::wstring> alsoCountedOwner{std::wstring()};

}  // namespace installation::tunables

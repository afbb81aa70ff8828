#pragma once
// The bounds on the platform service's answers. Tests lower them.

#include <cstddef>

#include "tunable/tunable.h"

namespace platform_client::tunables {

// In bytes. The health report lists every configured store, so it may grow
// well past the other answers; a longer one is a fault that says so.
inline tunable::Tunable<std::size_t> healthAnswerLimit{std::size_t{1} << 20};
// Values (and comments) a health report may hold. The parser needs up to about
// 190 bytes for each (a nested empty object: its map and its node in the
// parent's), so this, not the length, bounds the parse's peak near 36 MiB.
// A report of stores averages well over ten bytes a value.
inline tunable::Tunable<std::size_t> healthReportValueLimit{std::size_t{192} * 1024};

}  // namespace platform_client::tunables

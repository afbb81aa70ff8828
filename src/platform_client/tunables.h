#pragma once
// Where the local platform service answers: loopback, port 2405, no path.
// Tests point it at their own servers.

#include <cstddef>
#include <string>

#include "tunable/tunable.h"

namespace platform_client::tunables {

inline tunable::Tunable<std::string> baseUrl{"http://127.0.0.1:2405"};

// In bytes. The health report lists every configured store, so it may grow
// well past the other answers; a longer one is a fault that says so.
inline tunable::Tunable<std::size_t> healthAnswerLimit{std::size_t{1} << 20};
// Values (and comments) a health report may hold. The parser needs up to about
// 190 bytes for each (a nested empty object: its map and its node in the
// parent's), so this, not the length, bounds the parse's peak near 36 MiB.
// A report of stores averages well over ten bytes a value.
inline tunable::Tunable<std::size_t> healthReportValueLimit{std::size_t{192} * 1024};

}  // namespace platform_client::tunables

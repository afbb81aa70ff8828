#pragma once
// The host operations' pauses and limits. Tests shorten them; production only
// reads.

#include <chrono>

#include "tunable/tunable.h"

namespace host::tunables {

// After an accepted service start, before the next service is looked at.
inline tunable::Tunable<std::chrono::milliseconds> serviceStartPause{std::chrono::seconds(3)};
// The longest the cache flush may take, from the connection to Redis's answer.
inline tunable::Tunable<std::chrono::milliseconds> redisFlushTimeLimit{std::chrono::seconds(60)};

}  // namespace host::tunables

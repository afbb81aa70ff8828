#pragma once
// The host operations' pauses and limits, in milliseconds.

#include "os/tunable.h"

namespace host {

// After an accepted service start, before the next service is looked at.
inline os::Tunable<unsigned> g_serviceStartPauseMs{3000};
// The longest the cache client may run; it is ended after that.
inline os::Tunable<unsigned> g_redisFlushTimeoutMs{60000};

}  // namespace host

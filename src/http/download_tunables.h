#pragma once
// HttpDownload's compiled-in limits. Tests shorten them; production only reads.

#include "os/tunable.h"

namespace comm::http {

// Per attempt: long, for large files on slow lines.
inline os::Tunable<long> g_downloadConnectTimeoutSeconds{1000};
inline os::Tunable<long> g_downloadTimeoutSeconds{3000};
// An attempt that moves less than a byte per second for this long ends.
inline os::Tunable<long> g_downloadLowSpeedSeconds{60};

// Attempts in one Perform; the pause after the n-th failed one is
// base * 2^(n-1) (time-outs are retried without a pause).
inline os::Tunable<int> g_downloadMaxAttempts{5};
inline os::Tunable<unsigned> g_downloadRetryPauseMilliseconds{1000};

}  // namespace comm::http

#pragma once
// HttpDownload's compiled-in limits. Tests shorten them; production only reads.

#include <cstdint>

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

// All attempts, pauses included, end within this. The download holds the
// window's start and the health watch: a JAR of a few hundred MiB needs about
// a quarter of an hour on a 2 Mbit/s store line, and half an hour leaves room
// for a retry or two. A slower line waits for the next start.
inline os::Tunable<long> g_downloadDeadlineSeconds{30 * 60};

// No JAR is larger: ten times the largest upload-service build we expect. A
// body announced or growing past it is refused, so a runaway answer cannot
// fill the disk.
inline os::Tunable<std::int64_t> g_downloadMaxBytes{std::int64_t{1} << 30};

// What must stay free on the target's drive after the announced body is
// written: the services that share the drive (the database, the cache) keep
// room to work, and the upgrade has room for its copy and backup.
inline os::Tunable<std::int64_t> g_downloadFreeSpaceMarginBytes{std::int64_t{256} << 20};

}  // namespace comm::http

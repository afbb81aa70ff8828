#pragma once
// The transfers' compiled-in limits. Tests shorten them; production only reads.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "tunable/tunable.h"

namespace comm::http::tunables {

using std::chrono::milliseconds;
using std::chrono::seconds;

// HttpSession. Applied at construction; a POST keeps the connect limit.
inline tunable::Tunable<seconds> sessionConnectTimeout{seconds(10)};
inline tunable::Tunable<seconds> sessionTimeout{seconds(180)};

// A GET starts from libcurl's defaults and sets its own.
inline tunable::Tunable<seconds> getTimeout{seconds(30)};
inline tunable::Tunable<seconds> getConnectTimeout{seconds(30)};

inline tunable::Tunable<seconds> postTimeout{seconds(5)};
// A POST follows redirects, but only a few: a loop would otherwise spin for
// the whole time-out.
inline tunable::Tunable<long> maxRedirects{3};

// Every answer we expect is a JSON document of a few KiB; a larger body ends
// the transfer. The parser needs up to about eighty times a document's size in
// memory (a Json::Value, a map and a map node for each "[" of nested arrays),
// so the cap, not the parser, is what bounds the peak: 256 KiB (in bytes)
// keeps it near 20 MiB. The health report sets a larger limit of its own and
// bounds its parse by counting values.
inline tunable::Tunable<std::size_t> responseSizeLimit{std::size_t{256} * 1024};

// HttpDownload, per attempt: long, for large files on slow lines.
inline tunable::Tunable<seconds> downloadConnectTimeout{seconds(1000)};
inline tunable::Tunable<seconds> downloadTimeout{seconds(3000)};
// An attempt that moves less than a byte per second for this long ends.
inline tunable::Tunable<seconds> downloadLowSpeedTime{seconds(60)};

// Attempts in one Perform; the pause after the n-th failed one is
// base * 2^(n-1) (time-outs are retried without a pause).
inline tunable::Tunable<int> downloadAttempts{5};
inline tunable::Tunable<milliseconds> downloadRetryPause{milliseconds(1000)};

// All attempts, pauses included, end within this. The download holds the
// window's start and the health watch: a JAR of a few hundred MiB needs about
// a quarter of an hour on a 2 Mbit/s store line, and half an hour leaves room
// for a retry or two. A slower line waits for the next start.
inline tunable::Tunable<seconds> downloadDeadline{std::chrono::minutes(30)};

// In bytes: no JAR is larger, ten times the largest upload-service build we
// expect. A body announced or growing past it is refused, so a runaway answer
// cannot fill the disk.
inline tunable::Tunable<std::int64_t> downloadSizeLimit{std::int64_t{1} << 30};

// In bytes, what must stay free on the target's drive after the announced
// body is written: the services that share the drive (the database, the
// cache) keep room to work, and the upgrade has room for its copy and backup.
inline tunable::Tunable<std::int64_t> downloadFreeSpaceMargin{std::int64_t{256} << 20};

}  // namespace comm::http::tunables

#pragma once
// HttpSession's compiled-in limits. Tests shorten them; production only reads.

#include <cstddef>

#include "os/tunable.h"

namespace http_session {

// Applied at construction; a POST keeps the connect limit.
inline os::Tunable<long> g_connectTimeoutSeconds{10};
inline os::Tunable<long> g_timeoutSeconds{180};

// A GET starts from libcurl's defaults and sets its own.
inline os::Tunable<long> g_getTimeoutSeconds{30};
inline os::Tunable<long> g_getConnectTimeoutSeconds{30};

inline os::Tunable<long> g_postTimeoutSeconds{5};

// Every answer we expect is a small JSON document; a larger body ends the
// transfer instead of growing without bound in memory.
inline os::Tunable<std::size_t> g_maxResponseBytes{std::size_t{16} * 1024 * 1024};

}  // namespace http_session

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
// A POST follows redirects, but only a few: a loop would otherwise spin for
// the whole time-out.
inline os::Tunable<long> g_maxRedirects{3};

// Every answer we expect is a JSON document of a few KiB; a larger body ends
// the transfer. The parser needs up to about fifty times a document's size in
// memory (a Json::Value and a map node for each "0," of an array), so the cap,
// not the parser, is what bounds the peak: 256 KiB keeps it near 15 MiB.
inline os::Tunable<std::size_t> g_maxResponseBytes{std::size_t{256} * 1024};

}  // namespace http_session

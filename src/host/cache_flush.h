#pragma once
// Empties the installation's Redis cache: FLUSHALL sent over the socket by the
// watchdog itself. No program is run for it, least of all one the
// installation's folder holds.

#include <string>

namespace host {

enum class FlushResult {
  Flushed,       // the server answered +OK
  NoServer,      // nothing listens on the port (Redis stopped)
  Refused,       // the server answered something else (an error reply)
  Failed,        // the connection broke before an answer
  TimedOut,      // no answer within the time allowed
  NotAttempted,  // no installation on this machine, so no Redis of its own
};

// Sends FLUSHALL to the installation's Redis on this machine and waits a
// bounded time for its answer. Nothing is shown whatever the outcome: the
// services are looked at next either way.
FlushResult FlushRedisCache();

// The exchange alone, to the given port: what FlushRedisCache does once an
// installation is known to be here.
FlushResult SendFlushAll(unsigned short port);

}  // namespace host

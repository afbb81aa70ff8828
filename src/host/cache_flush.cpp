#include "host/cache_flush.h"

#include "host/tunables.h"
#include "installation/layout.h"
#include "os/network.h"

namespace host {

namespace {

// FLUSHALL as one RESP array of one bulk string.
constexpr const char* kFlushAllRequest = "*1\r\n$8\r\nFLUSHALL\r\n";

}  // namespace

FlushResult SendFlushAll(unsigned short port) {
  // Bounded: a server that never answers must not hold the window.
  const os::LineExchange exchange =
      os::ExchangeLineWithLoopback(port, kFlushAllRequest, tunables::redisFlushTimeLimit.Get());
  switch (exchange.outcome) {
    case os::ExchangeOutcome::Answered:
      return exchange.line == "+OK" ? FlushResult::Flushed : FlushResult::Refused;
    case os::ExchangeOutcome::NotConnected:
      return FlushResult::NoServer;
    case os::ExchangeOutcome::TimedOut:
      return FlushResult::TimedOut;
    case os::ExchangeOutcome::Failed:
      break;
  }
  return FlushResult::Failed;
}

FlushResult FlushRedisCache() {
  // The Redis on that port is the installation's: without one here, whatever
  // listens there is none of ours to empty.
  if (!installation::FindInstallation()) return FlushResult::NotAttempted;
  return SendFlushAll(installation::kRedisPort);
}

}  // namespace host

#pragma once
// Sockets: those libcurl opens, tuned before they connect, and one short
// line-based exchange with a server on this machine.

#include <chrono>
#include <cstdint>
#include <string>

namespace os {

// Asks for a receive buffer of `bytes` on the socket (the platform may grant
// less). False when refused.
bool SetReceiveBufferSize(std::uintptr_t socket, int bytes);

enum class ExchangeOutcome {
  Answered,      // a whole line came back
  NotConnected,  // nothing accepted the connection (no server on the port)
  Failed,        // the connection broke, or closed before a line came back
  TimedOut,      // the deadline passed first
};

struct LineExchange {
  ExchangeOutcome outcome = ExchangeOutcome::Failed;
  std::string line;  // the answer's first line without its line end; when Answered
};

// The longest answer line read; what comes after is not waited for.
constexpr std::size_t kMaxExchangeLine = 512;

// Connects to 127.0.0.1:`port`, sends `request` and reads back one line (up to
// the first line feed, or kMaxExchangeLine bytes), all within `limit`; the
// connection is closed before returning. No program is run for it.
LineExchange ExchangeLineWithLoopback(std::uint16_t port, const std::string& request,
                                      std::chrono::milliseconds limit);

}  // namespace os

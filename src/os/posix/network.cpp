// Native backend of the network service: setsockopt on the descriptor, and
// the loopback exchange over a non-blocking socket with poll(2) deadlines.
#include "os/network.h"
#include "os/network_line.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "os/posix/unique_fd.h"

namespace os {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on `fd` until `deadline`; false when the time ran out.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the next call reports the error
  }
}

}  // namespace

bool SetReceiveBufferSize(std::uintptr_t socket, int bytes) {
  return ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

LineExchange ExchangeLineWithLoopback(std::uint16_t port, const std::string& request,
                                      std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  LineExchange result;
  posix::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) return result;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ECONNREFUSED) {
      result.outcome = ExchangeOutcome::NotConnected;
      return result;
    }
    if (errno != EINPROGRESS) return result;
    if (!WaitFor(fd.Get(), POLLOUT, deadline)) {
      result.outcome = ExchangeOutcome::TimedOut;
      return result;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return result;
    if (error != 0) {
      if (error == ECONNREFUSED) result.outcome = ExchangeOutcome::NotConnected;
      return result;
    }
  }
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = ::send(fd.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (!WaitFor(fd.Get(), POLLOUT, deadline)) {
        result.outcome = ExchangeOutcome::TimedOut;
        return result;
      }
    } else {
      return result;
    }
  }
  std::string line;
  while (line.size() < kMaxExchangeLine) {
    char buffer[256];
    const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, 0);
    if (n > 0) {
      if (network_line::TakeReceived(line, buffer, static_cast<std::size_t>(n))) break;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (!WaitFor(fd.Get(), POLLIN, deadline)) {
        result.outcome = ExchangeOutcome::TimedOut;
        return result;
      }
    } else {
      return result;  // closed or broken before a whole line
    }
  }
  return network_line::Answered(std::move(line));
}

}  // namespace os

// Windows backend of the network service: Winsock's setsockopt on the SOCKET,
// and the loopback exchange over a non-blocking socket with select deadlines.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "os/network.h"
#include "os/network_line.h"

namespace os {

namespace {

using Clock = std::chrono::steady_clock;

// Winsock for as long as the exchange runs; counted by the system, so
// libcurl's own start-up is not disturbed.
class WinsockScope {
 public:
  WinsockScope() {
    WSADATA data{};
    m_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockScope() {
    if (m_started) ::WSACleanup();
  }
  WinsockScope(const WinsockScope&) = delete;
  WinsockScope& operator=(const WinsockScope&) = delete;
  bool Started() const { return m_started; }

 private:
  bool m_started = false;
};

class ScopedSocket {
 public:
  explicit ScopedSocket(SOCKET socket) : m_socket(socket) {}
  ~ScopedSocket() {
    if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
  }
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;
  SOCKET Get() const { return m_socket; }

 private:
  SOCKET m_socket;
};

enum class Ready { Yes, Failed, TimedOut };

// Waits until `socket` can be written (`write`) or read, until `deadline`.
Ready WaitFor(SOCKET socket, bool write, Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return Ready::TimedOut;
  fd_set wanted;
  fd_set failed;
  FD_ZERO(&wanted);
  FD_ZERO(&failed);
  FD_SET(socket, &wanted);
  FD_SET(socket, &failed);
  timeval wait{static_cast<long>(left.count() / 1000),
               static_cast<long>(left.count() % 1000) * 1000};
  const int ready =
      ::select(0, write ? nullptr : &wanted, write ? &wanted : nullptr, &failed, &wait);
  if (ready == 0) return Ready::TimedOut;
  if (ready < 0 || FD_ISSET(socket, &failed)) return Ready::Failed;
  return Ready::Yes;
}

LineExchange Outcome(ExchangeOutcome outcome) {
  LineExchange result;
  result.outcome = outcome;
  return result;
}

LineExchange FromReady(Ready ready) {
  return Outcome(ready == Ready::TimedOut ? ExchangeOutcome::TimedOut : ExchangeOutcome::Failed);
}

}  // namespace

bool SetReceiveBufferSize(std::uintptr_t socket, int bytes) {
  return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVBUF,
                      reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

LineExchange ExchangeLineWithLoopback(std::uint16_t port, const std::string& request,
                                      std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  WinsockScope winsock;
  if (!winsock.Started()) return Outcome(ExchangeOutcome::Failed);
  ScopedSocket socket(
      ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
  if (socket.Get() == INVALID_SOCKET) return Outcome(ExchangeOutcome::Failed);
  u_long nonBlocking = 1;
  if (::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0) {
    return Outcome(ExchangeOutcome::Failed);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = ::WSAGetLastError();
    if (error == WSAECONNREFUSED) return Outcome(ExchangeOutcome::NotConnected);
    if (error != WSAEWOULDBLOCK) return Outcome(ExchangeOutcome::Failed);
    const Ready ready = WaitFor(socket.Get(), true, deadline);
    if (ready != Ready::Yes) {
      int cause = 0;
      int length = sizeof cause;
      if (ready == Ready::Failed &&
          ::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&cause),
                       &length) == 0 &&
          cause == WSAECONNREFUSED) {
        return Outcome(ExchangeOutcome::NotConnected);
      }
      return FromReady(ready);
    }
  }
  for (std::size_t sent = 0; sent < request.size();) {
    const int n =
        ::send(socket.Get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (const Ready ready = WaitFor(socket.Get(), true, deadline); ready != Ready::Yes) {
        return FromReady(ready);
      }
    } else {
      return Outcome(ExchangeOutcome::Failed);
    }
  }
  std::string line;
  while (line.size() < kMaxExchangeLine) {
    char buffer[256];
    const int n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
    if (n > 0) {
      if (network_line::TakeReceived(line, buffer, static_cast<std::size_t>(n))) break;
    } else if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (const Ready ready = WaitFor(socket.Get(), false, deadline); ready != Ready::Yes) {
        return FromReady(ready);
      }
    } else {
      return Outcome(ExchangeOutcome::Failed);
    }
  }
  return network_line::Answered(std::move(line));
}

}  // namespace os

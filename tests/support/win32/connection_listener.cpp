#include "support/connection_listener.h"

#include <winsock2.h>

namespace testing_support {
namespace {

// Once per process, before the first socket; never undone.
bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

ConnectionListener::ConnectionListener() {
  if (!StartWinsock()) return;
  const SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (sock == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(sock, 16) != 0 ||
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(sock);
    return;
  }
  m_socket = static_cast<long long>(sock);
  m_port = ntohs(address.sin_port);
}

ConnectionListener::~ConnectionListener() {
  if (m_socket >= 0) closesocket(static_cast<SOCKET>(m_socket));
}

int ConnectionListener::Connections() {
  const SOCKET sock = static_cast<SOCKET>(m_socket);
  while (m_socket >= 0) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval now{0, 0};
    if (select(0, &readable, nullptr, nullptr, &now) <= 0) break;
    const SOCKET peer = accept(sock, nullptr, nullptr);
    if (peer == INVALID_SOCKET) break;
    closesocket(peer);
    ++m_connections;
  }
  return m_connections;
}

}  // namespace testing_support

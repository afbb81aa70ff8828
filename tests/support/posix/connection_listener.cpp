#include "support/connection_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

ConnectionListener::ConnectionListener() {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(sock, 16) != 0 ||
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(sock);
    return;
  }
  m_socket = sock;
  m_port = ntohs(address.sin_port);
}

ConnectionListener::~ConnectionListener() {
  if (m_socket >= 0) close(static_cast<int>(m_socket));
}

int ConnectionListener::Connections() {
  const int sock = static_cast<int>(m_socket);
  pollfd ready{sock, POLLIN, 0};
  while (m_socket >= 0 && poll(&ready, 1, 0) > 0) {
    const int peer = accept(sock, nullptr, nullptr);
    if (peer < 0) break;
    close(peer);
    ++m_connections;
  }
  return m_connections;
}

}  // namespace testing_support

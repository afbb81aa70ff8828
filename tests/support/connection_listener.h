#pragma once
// A socket listening on 127.0.0.1 and an ephemeral port that never answers:
// it only tells whether anything connected to it, whatever the protocol.

namespace testing_support {

class ConnectionListener {
 public:
  ConnectionListener();  // Port() is -1 when nothing could be bound
  ~ConnectionListener();
  ConnectionListener(const ConnectionListener&) = delete;
  ConnectionListener& operator=(const ConnectionListener&) = delete;

  int Port() const { return m_port; }
  // Connections made so far (taken off the queue, counted and closed).
  int Connections();

 private:
  long long m_socket = -1;
  int m_port = -1;
  int m_connections = 0;
};

}  // namespace testing_support

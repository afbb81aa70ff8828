// The cache flush as the button sends it, against a small server on a loopback
// port that answers as told.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/wardkeep_dlg.h"
#include "host/cache_flush.h"
#include "host/tunables.h"
#include "support/posix/child_process.h"
#include "support/posix/service_manager_standin.h"
#include "support/recording_view.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::RecordingView;
using testing_support::ServiceManagerStandin;

constexpr char kRequest[] = "*1\r\n$8\r\nFLUSHALL\r\n";

// One connection on an ephemeral loopback port: the request is read, then
// `answer` is sent, a '|' in it as a pause between two sends (none: the
// connection is held open without a word, or closed at once when
// `closeAtOnce`).
class RedisStandin {
 public:
  RedisStandin(std::string answer, bool closeAtOnce = false) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_fd, 1) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this, answer = std::move(answer), closeAtOnce] {
      const int client = accept(m_fd, nullptr, nullptr);
      if (client < 0) return;
      if (!closeAtOnce) {
        char buffer[256];
        // Read until the whole request has come.
        while (m_request.size() < sizeof kRequest - 1) {
          const ssize_t n = recv(client, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          m_request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t cut = answer.find('|');
        send(client, answer.data(), std::min(cut, answer.size()), MSG_NOSIGNAL);
        if (cut != std::string::npos) {
          std::this_thread::sleep_for(50ms);
          send(client, answer.data() + cut + 1, answer.size() - cut - 1, MSG_NOSIGNAL);
        }
        // Held until the caller has closed its end.
        while (recv(client, buffer, sizeof buffer, 0) > 0) {
        }
      }
      close(client);
    });
  }
  ~RedisStandin() {
    shutdown(m_fd, SHUT_RDWR);
    Finish();
    close(m_fd);
  }
  unsigned short Port() const { return m_port; }
  // What was asked, once the caller has closed the connection.
  const std::string& Finish() {
    if (m_thread.joinable()) m_thread.join();
    return m_request;
  }

 private:
  int m_fd = -1;
  unsigned short m_port = 0;
  std::string m_request;
  std::thread m_thread;
};

// A loopback port nothing listens on: bound, never listened to, then freed.
unsigned short UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(CacheFlush, OnlyAnOkAnswerIsAFlushAndNoAnswerHoldsTheButtonLongerThanAllowed) {
  tunable::ScopedTunable bound(host::tunables::redisFlushTimeLimit, 500ms);
  struct Row {
    const char* what;
    std::string answer;
    bool closeAtOnce;
    host::FlushResult expected;
  } rows[] = {
      {"+OK", "+OK\r\n", false, host::FlushResult::Flushed},
      {"+OK in two pieces", "+O|K\r\n", false, host::FlushResult::Flushed},
      {"an error reply", "-ERR unknown command 'FLUSHALL'\r\n", false, host::FlushResult::Refused},
      {"OK without the status sign", "OK\r\n", false, host::FlushResult::Refused},
      {"+OK never ended by a line end", "+OK", false, host::FlushResult::TimedOut},
      {"closed at once", "", true, host::FlushResult::Failed},
      {"silent", "", false, host::FlushResult::TimedOut},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    RedisStandin server(row.answer, row.closeAtOnce);
    ASSERT_NE(server.Port(), 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(host::SendFlushAll(server.Port()), row.expected);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    if (!row.closeAtOnce) {
      EXPECT_EQ(server.Finish(), kRequest);
    }
  }
  EXPECT_EQ(host::SendFlushAll(UnusedPort()), host::FlushResult::NoServer);
}

}  // namespace

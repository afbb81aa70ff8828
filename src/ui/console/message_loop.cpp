// Console front end: the poll loop.
#include "ui/console/message_loop.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace ui::console {
namespace {

constexpr unsigned char kEscapeByte = 0x1B;

// Reads what is waiting on stdin and turns it into keys. An escape byte that
// starts a terminal sequence (arrow keys and the like) is not a lone Escape.
bool ReadKeys(const MessageLoop::Handlers& handlers) {
  unsigned char buffer[64];
  ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0) return errno == EINTR || errno == EAGAIN;
  if (n == 0) return false;  // end of input: keep running without keys
  for (ssize_t i = 0; i < n; ++i) {
    unsigned char c = buffer[i];
    if (c == '\r' || c == '\n') {
      handlers.onKey(Key::Enter);
    } else if (c == kEscapeByte) {
      if (i + 1 < n && (buffer[i + 1] == '[' || buffer[i + 1] == 'O')) {
        i = n;  // a key sequence: ignored
      } else {
        handlers.onKey(Key::Escape);
      }
    }
  }
  return true;
}

}  // namespace

void MessageLoop::SetTimer(unsigned id, unsigned milliseconds) {
  auto period = std::chrono::milliseconds(milliseconds);
  m_timers[id] = Timer{period, Clock::now() + period};
}

int MessageLoop::MillisecondsToNextTimer() const {
  if (m_timers.empty()) return -1;
  auto next = Clock::time_point::max();
  for (const auto& [id, timer] : m_timers) next = std::min(next, timer.due);
  auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
  return wait < 0 ? 0 : static_cast<int>(wait);
}

void MessageLoop::FireDueTimers(const Handlers& handlers) {
  auto now = Clock::now();
  for (auto& [id, timer] : m_timers) {
    if (timer.due > now) continue;
    // Ticks that fell due while a handler ran collapse into one, as the
    // platform keeps at most one pending timer message.
    timer.due = now + timer.period;
    handlers.onTimer(id);
    if (m_quit) return;
  }
}

void MessageLoop::Run(const Handlers& handlers, bool readKeys) {
  while (!m_quit) {
    while (!m_posted.empty() && !m_quit) {
      unsigned message = m_posted.front();
      m_posted.pop_front();
      handlers.onPosted(message);
    }
    if (m_quit) break;
    handlers.onIdle();
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&input, readKeys ? 1 : 0, MillisecondsToNextTimer());
    if (ready > 0 && (input.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      readKeys = ReadKeys(handlers);
    }
    if (!m_posted.empty()) continue;  // posted messages go before timers
    FireDueTimers(handlers);
  }
}

}  // namespace ui::console

// Console front end: the poll loop.
#include "ui/console/message_loop.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace ui::console {
namespace {

constexpr unsigned char kEscapeByte = 0x1B;
// How soon after an escape byte the rest of a sequence arrives: a terminal
// sends a key's sequence or a reply in one go; a person pressing Escape and
// then another key is far slower.
constexpr int kSequenceGapMilliseconds = 50;

// True when more bytes are waiting on `fd` within the gap.
bool MoreFollows(int fd) {
  pollfd input{fd, POLLIN, 0};
  return poll(&input, 1, kSequenceGapMilliseconds) > 0 && (input.revents & POLLIN) != 0;
}

// Reads what is waiting on the terminal and turns it into keys. An escape
// byte followed at once by more bytes starts a sequence (an arrow key, or a
// terminal's reply to something written to it) and is ignored with all that
// came with it; only an escape byte on its own is the Escape key.
bool ReadKeys(int fd, const MessageLoop::Handlers& handlers) {
  unsigned char buffer[256];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n < 0) return errno == EINTR || errno == EAGAIN;
  if (n == 0) return false;  // the terminal is gone: keep running without keys
  for (ssize_t i = 0; i < n; ++i) {
    unsigned char c = buffer[i];
    if (c == kEscapeByte) {
      if (i + 1 < n) return true;  // a sequence: the rest of this read is part of it
      if (!MoreFollows(fd)) {
        handlers.onKey(Key::Escape);
        return true;
      }
      // The sequence's remainder, however long, is read and dropped.
      while (MoreFollows(fd) && read(fd, buffer, sizeof buffer) > 0) {
      }
      return true;
    }
    if (c == '\r' || c == '\n') handlers.onKey(Key::Enter);
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

void MessageLoop::Run(const Handlers& handlers, int keyInput) {
  bool readKeys = keyInput >= 0;
  while (!m_quit) {
    while (!m_posted.empty() && !m_quit) {
      unsigned message = m_posted.front();
      m_posted.pop_front();
      handlers.onPosted(message);
    }
    if (m_quit) break;
    handlers.onIdle();
    pollfd input{keyInput, POLLIN, 0};
    int ready = poll(&input, readKeys ? 1 : 0, MillisecondsToNextTimer());
    if (ready > 0 && (input.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      readKeys = ReadKeys(keyInput, handlers);
    }
    if (!m_posted.empty()) continue;  // posted messages go before timers
    FireDueTimers(handlers);
  }
}

}  // namespace ui::console

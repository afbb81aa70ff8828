#pragma once
// A small poll loop standing in for the dialog's modal message loop: periodic
// timers, posted messages, and keys from the program's own terminal.

#include <chrono>
#include <deque>
#include <functional>
#include <map>

namespace ui::console {

enum class Key { Enter, Escape };

class MessageLoop {
 public:
  struct Handlers {
    std::function<void(unsigned message)> onPosted;
    std::function<void(unsigned timerId)> onTimer;
    std::function<void(Key key)> onKey;
    // Called whenever the loop is about to wait, so the view draws once per
    // batch of messages instead of once per change.
    std::function<void()> onIdle;
  };

  void SetTimer(unsigned id, unsigned milliseconds);
  void Post(unsigned message) { m_posted.push_back(message); }
  void Quit() { m_quit = true; }

  // Runs until Quit(), reading keys from `keyInput` (-1: no keys).
  void Run(const Handlers& handlers, int keyInput);

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
  };

  int MillisecondsToNextTimer() const;
  void FireDueTimers(const Handlers& handlers);

  std::map<unsigned, Timer> m_timers;
  std::deque<unsigned> m_posted;
  bool m_quit = false;
};

}  // namespace ui::console

#pragma once
// The terminal the program was started on, opened by the program itself
// (/dev/tty): its keys are the only keys read, in key-at-a-time mode for the
// program's life, restored on every way out, signals included. Standard input
// is never read: whatever is piped or redirected there is not a person at the
// keyboard.

namespace ui::console {

class RawTerminal {
 public:
  RawTerminal();
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  // The descriptor keys are read from; -1 without a controlling terminal.
  int KeyInput() const { return m_fd; }

 private:
  int m_fd = -1;
};

}  // namespace ui::console

#pragma once
// Puts an interactive terminal into key-at-a-time mode for the program's life
// and restores it on every way out, signals included.

namespace ui::console {

class RawTerminal {
 public:
  RawTerminal();
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

 private:
  bool m_active = false;
};

}  // namespace ui::console

// Console front end: raw keyboard mode on a terminal.
#include "ui/console/terminal.h"

#include <termios.h>
#include <unistd.h>
#include <csignal>
#include <initializer_list>

namespace ui::console {
namespace {

termios g_saved{};
volatile std::sig_atomic_t g_saved_valid = 0;

void Restore() {
  if (g_saved_valid) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
}

void RestoreAndReraise(int signal) {
  Restore();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

RawTerminal::RawTerminal() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved) != 0) return;
  termios raw = g_saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
  g_saved_valid = 1;
  m_active = true;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, RestoreAndReraise);
}

RawTerminal::~RawTerminal() {
  Restore();
  g_saved_valid = 0;
}

}  // namespace ui::console

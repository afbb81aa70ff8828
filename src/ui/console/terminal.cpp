// Console front end: raw keyboard mode on the program's own terminal.
#include "ui/console/terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace ui::console {
namespace {

termios g_saved{};
volatile std::sig_atomic_t g_fd = -1;

void Restore() {
  if (g_fd >= 0) tcsetattr(g_fd, TCSANOW, &g_saved);
}

void RestoreAndReraise(int signal) {
  Restore();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

RawTerminal::RawTerminal() {
  // The controlling terminal, opened here: the person at it, not whatever
  // another program handed over as standard input.
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  if (tcgetattr(fd, &g_saved) != 0) {
    close(fd);
    return;
  }
  termios raw = g_saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &raw) != 0) {
    close(fd);
    return;
  }
  m_fd = fd;
  g_fd = fd;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, RestoreAndReraise);
}

RawTerminal::~RawTerminal() {
  Restore();
  g_fd = -1;
  if (m_fd >= 0) close(m_fd);
}

}  // namespace ui::console

// Console front end: the native program's entry.
#include <unistd.h>
#include <clocale>

#include "app/wardkeep_app.h"
#include "ui/console/console_dialog.h"
#include "ui/console/terminal.h"

int main() {
  // The locale's codeset is the native "ANSI" code page; numbers stay in the
  // C locale so figures read the same everywhere.
  std::setlocale(LC_CTYPE, "");
  ui::console::RawTerminal terminal;
  ui::console::ConsoleDialog dialog(isatty(STDOUT_FILENO) != 0);
  CwardkeepApp application(dialog);
  application.InitInstance();
  return 0;
}

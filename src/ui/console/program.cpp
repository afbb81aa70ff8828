#include "ui/console/program.h"

#include <unistd.h>

#include <clocale>

#include "app/wardkeep_app.h"
#include "ui/console/console_dialog.h"
#include "ui/console/terminal.h"

namespace ui::console {

int RunProgram() {
  // The locale's codeset is the native "ANSI" code page; numbers stay in the
  // C locale so figures read the same everywhere.
  std::setlocale(LC_CTYPE, "");
  RawTerminal terminal;
  ConsoleDialog dialog(isatty(STDOUT_FILENO) != 0);
  CwardkeepApp application(dialog);
  application.InitInstance();
  return 0;
}

}  // namespace ui::console

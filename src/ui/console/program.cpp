#include "ui/console/program.h"

#include <unistd.h>

#include "app/wardkeep_app.h"
#include "ui/console/console_dialog.h"
#include "ui/console/terminal.h"

namespace ui::console {

int RunProgram() {
  RawTerminal terminal;
  ConsoleDialog dialog(isatty(STDOUT_FILENO) != 0, terminal.KeyInput());
  CwardkeepApp application(dialog);
  application.InitInstance();
  return 0;
}

}  // namespace ui::console

// Console front end: the native program's entry.
#include "os/session.h"
#include "ui/console/program.h"

int main() {
  os::RestrictLibrarySearch();
  return ui::console::RunProgram();
}

// Console front end: the native program's entry.
#include "ui/console/program.h"

int main() {
  return ui::console::RunProgram();
}

// The native program with every timer cut to the period on its command line,
// for the suites and benchmarks that go through many health cycles:
//   wardkeep-fast-timers <milliseconds>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "ui/console/program.h"
#include "ui/console/tunables.h"

int main(int argc, char** argv) {
  unsigned period = 0;
  const char* end = argc == 2 ? argv[1] + std::strlen(argv[1]) : nullptr;
  if (argc != 2 || std::from_chars(argv[1], end, period).ptr != end || period == 0) {
    std::fprintf(stderr, "usage: wardkeep-fast-timers <milliseconds>\n");
    return 2;
  }
  tunable::ScopedTunable shorter(ui::console::tunables::longestTimer,
                                 std::chrono::milliseconds(period));
  return ui::console::RunProgram();
}

// A stand-in program that leaves a mark: one line with its arguments appended
// to the file named by WARDKEEP_MARKER, after WARDKEEP_MARKER_SLEEP_MS
// milliseconds when that is set. Does nothing else.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
  if (const char* sleep = std::getenv("WARDKEEP_MARKER_SLEEP_MS")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
  }
  const char* path = std::getenv("WARDKEEP_MARKER");
  if (path == nullptr || *path == '\0') return 2;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  for (int i = 1; i < argc; ++i) out << (i > 1 ? " " : "") << argv[i];
  out << "\n";
  return out ? 0 : 1;
}

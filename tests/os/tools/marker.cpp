// A stand-in program that leaves a mark: one line with its arguments appended
// to the file named by WARDKEEP_MARKER. Does nothing else.
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
  const char* path = std::getenv("WARDKEEP_MARKER");
  if (path == nullptr || *path == '\0') return 2;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  for (int i = 1; i < argc; ++i) out << (i > 1 ? " " : "") << argv[i];
  out << "\n";
  return out ? 0 : 1;
}

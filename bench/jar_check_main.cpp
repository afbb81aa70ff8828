// One archive check in a process of its own, so its time and peak memory are
// the check's alone. Usage: wardkeep-bench-jar-check DIRECTORY FILE (FILE in
// plain ASCII). Exit status: 0 for a whole archive, 10 + the fault's number
// otherwise, 2 for a wrong call.
#include <cstdlib>
#include <string>

#include "os/files.h"
#include "upgrade/jar_check.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  // The check reads through a Windows path; B: stands for the directory.
  setenv("WARDKEEP_DRIVE_B", argv[1], 1);
  const std::string name = argv[2];
  os::ReadOnlyFile file;
  if (!file.Open(L"B:\\" + std::wstring(name.begin(), name.end()))) {
    return 10 + static_cast<int>(upgrade::JarFault::Unreadable);
  }
  const upgrade::JarCheck check = upgrade::CheckJarArchive(file);
  return check ? 0 : 10 + static_cast<int>(check.fault);
}

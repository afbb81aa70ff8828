// A downloaded JAR, as the archive check reads it from disk.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "os/files.h"
#include "upgrade/jar_check.h"

namespace {

// The host path of one scratch file and the Windows form the program uses
// (drive C: is the root when no drive map is set).
struct Scratch {
  std::string host = "/tmp/wardkeep-fuzz-jar-" + std::to_string(getpid()) + ".jar";
  std::wstring windows;
  Scratch() {
    windows = L"C:";
    for (char c : host) windows += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  }
  ~Scratch() { std::remove(host.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  std::FILE* file = std::fopen(scratch.host.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  os::ReadOnlyFile jar;
  if (!jar.Open(scratch.windows)) return 0;
  const upgrade::JarCheck check = upgrade::CheckJarArchive(jar);
  // Every refusal has a reason to print.
  if (!check && upgrade::DescribeJarFault(check).empty()) __builtin_trap();
  return 0;
}

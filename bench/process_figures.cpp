#include "process_figures.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "support/posix/child_process.h"

namespace bench {

Usage Run(const std::vector<std::string>& argv, const std::string& scratchDir) {
  const std::string peakFile = scratchDir + "/peak-kib";
  std::vector<std::string> wrapped{WARDKEEP_BENCH_PEAK, peakFile};
  wrapped.insert(wrapped.end(), argv.begin(), argv.end());
  testing_support::ChildProcess child(wrapped, {}, scratchDir);
  child.CloseInput();
  const std::optional<int> status = child.Wait();
  Usage usage;
  usage.status = status ? testing_support::ExitCode(*status) : -1;
  usage.seconds = child.Usage().seconds;
  usage.cpuSeconds = child.Usage().cpuSeconds;
  std::ifstream in(peakFile);
  usage.peakKiB = -1;
  in >> usage.peakKiB;
  std::remove(peakFile.c_str());
  return usage;
}

long ProcStatusKiB(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    std::istringstream in(line.substr(field.size() + 1));
    long kib = -1;
    in >> kib;
    return kib;
  }
  return -1;
}

double ProcCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold spaces; the fields after it do not.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  long utime = -1;
  long stime = -1;
  for (int index = 3; fields >> field && index <= 15; ++index) {
    if (index == 14) utime = std::stol(field);
    if (index == 15) stime = std::stol(field);
  }
  if (utime < 0 || stime < 0) return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace bench

#pragma once
// What a benchmarked command costs: one run to its end, or a running one's
// figures read from /proc.

#include <sys/types.h>

#include <string>
#include <vector>

namespace bench {

struct Usage {
  int status = -1;        // exit status, or 128 + signal
  double seconds = 0;     // wall time from start to end
  double cpuSeconds = 0;  // user + system
  long peakKiB = 0;       // peak resident set
};

// Runs to the end; the peak resident set is the command's own, measured
// through wardkeep-bench-peak with a file in `scratchDir`.
Usage Run(const std::vector<std::string>& argv, const std::string& scratchDir);

// A field of /proc/<pid>/status in KiB ("VmHWM", "VmRSS"), -1 when unreadable.
long ProcStatusKiB(pid_t pid, const std::string& field);

// utime + stime from /proc/<pid>/stat in seconds (clock-tick resolution), -1
// when unreadable.
double ProcCpuSeconds(pid_t pid);

}  // namespace bench

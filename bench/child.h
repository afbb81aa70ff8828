#pragma once
// Child processes for the benchmarks: started with extra environment and
// redirected output, waited for with their resource usage.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct Usage {
  int status = -1;        // exit status, or 128 + signal
  double seconds = 0;     // wall time from start to end
  double cpuSeconds = 0;  // user + system
  long peakKiB = 0;       // peak resident set
};

class Child {
 public:
  // Standard input from /dev/null; standard output into `stdoutPath` (or
  // /dev/null when empty), standard error to /dev/null.
  Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
        const std::string& stdoutPath = "");
  ~Child();  // ends a child still running
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return m_pid > 0; }
  pid_t Pid() const { return m_pid; }
  bool Running();
  void Terminate();
  Usage Wait();

 private:
  pid_t m_pid = -1;
  std::chrono::steady_clock::time_point m_started;
  std::optional<Usage> m_usage;
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

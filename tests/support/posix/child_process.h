#pragma once
// A real child process for tests and benchmarks: its own environment
// additions, standard input from a pipe the caller writes, standard output
// and error into files, and what it cost once it has ended.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Wall time from start to end, user + system time, peak resident set.
struct ChildUsage {
  double seconds = 0;
  double cpuSeconds = 0;
  long peakKiB = 0;
};

class ChildProcess {
 public:
  // Its output goes to files of its own in `outputDir`.
  ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::filesystem::path& outputDir);
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  pid_t Pid() const { return m_pid; }
  void WriteInput(const std::string& bytes);
  void CloseInput();
  // The wait status once the child has ended within `timeout`.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  // Blocks until it has ended: no polling delay in the measured wall time.
  std::optional<int> Wait();
  bool Running();
  // Asks it to end and leaves the waiting to the caller.
  void Terminate();
  void Kill();
  // Meaningful once Wait has seen the end.
  const ChildUsage& Usage() const { return m_usage; }
  std::string Stdout() const;
  std::string Stderr() const;
  // Waits until standard output holds `needle`.
  bool WaitForOutput(const std::string& needle, std::chrono::milliseconds timeout) const;

 private:
  // Collects it if it has ended (blocking when `block`); true once collected.
  bool Reap(bool block);

  pid_t m_pid = -1;
  int m_input = -1;
  std::chrono::steady_clock::time_point m_started;
  std::optional<int> m_status;
  ChildUsage m_usage;
  std::filesystem::path m_out;
  std::filesystem::path m_err;
};

// The exit status, or 128 + the signal that ended it, as a shell reports it.
int ExitCode(int waitStatus);

}  // namespace testing_support

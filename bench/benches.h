#pragma once
// The measurements; each returns its rows of the figures table.

#include <memory>
#include <string>
#include <vector>

namespace testing_support {
class ChildProcess;
}

namespace bench {

using testing_support::ChildProcess;

struct Row {
  std::string what;
  std::string ours;
  std::string reference;  // the curl tool's figure, or empty
  std::string target;
  bool met = true;
};

struct Options {
  std::string workDir;  // scratch space for the downloaded files
  int runs = 15;
  int cycles = 100;
  unsigned timerMs = 20;
};

// a. throughput against curl; b. peak memory for two file sizes; c. bytes
// re-sent after a cut at 90 %.
std::vector<Row> DownloadBenches(const Options& options);
// d. the running watchdog's CPU time and memory over many health cycles.
std::vector<Row> WatchdogBench(const Options& options);
// The real watchdog with its timer at `timerMs`, its home, lock and
// autostart entry under `dir`, its output in files there.
std::unique_ptr<ChildProcess> StartWatchdog(const std::string& dir, unsigned timerMs);
// e. the running watchdog fed the worst health and update answers.
std::vector<Row> AnswersBench(const Options& options);
// f. the JAR signature check's peak memory for a small and a 1 GiB file.
std::vector<Row> SignatureBench(const Options& options);
// g. the upload service's downtime while a large JAR is installed.
std::vector<Row> DowntimeBench(const Options& options);
// h. the archive check's time and memory on many small and a few large entries.
std::vector<Row> JarCheckBench(const Options& options);

std::string Format(const char* format, double value);

}  // namespace bench

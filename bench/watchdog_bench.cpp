// The running watchdog: CPU time and memory over many health cycles, as the
// suites' fast-timer build of the native program. The program asks
// the platform service and the update server on their fixed ports, so the
// stand-in takes those; a busy port means this part is skipped.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "benches.h"
#include "process_figures.h"
#include "support/posix/child_process.h"
#include "support/posix/standin_process.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

using testing_support::StandinProcess;

long HealthChecks(const StandinProcess& standin) {
  return standin.GetJson("/control/hits")["health"].asInt();
}

}  // namespace

std::unique_ptr<ChildProcess> StartWatchdog(const std::string& dir, unsigned timerMs) {
  const fs::path home(dir);
  // Its own lock, autostart entry and home, away from the user's.
  auto program = std::make_unique<ChildProcess>(
      std::vector<std::string>{WARDKEEP_FAST_TIMERS, std::to_string(timerMs)},
      std::map<std::string, std::string>{{"HOME", home.string()},
                                         {"XDG_RUNTIME_DIR", (home / "run").string()},
                                         {"XDG_CONFIG_HOME", (home / "config").string()}},
      home);
  // Its console sees the end of input at once, as from /dev/null.
  program->CloseInput();
  return program;
}

std::vector<Row> WatchdogBench(const Options& options) {
  const fs::path dir = fs::path(options.workDir) / "watchdog";
  fs::create_directories(dir / "run");
  fs::permissions(dir / "run", fs::perms::owner_all);
  StandinProcess standin(WARDKEEP_STANDIN, {"--update", "none"},
                         testing_support::StandinPorts::Fixed);
  if (!standin.Ready()) {
    std::fprintf(stderr, "bench: ports 2405/2406 are busy, watchdog bench skipped\n");
    return {{"watchdog", "not run: ports 2405/2406 busy", "", "", false}};
  }
  std::fprintf(stderr, "bench: watchdog, %d health cycles every %u ms\n", options.cycles,
               options.timerMs);
  const std::unique_ptr<ChildProcess> started = StartWatchdog(dir.string(), options.timerMs);
  ChildProcess& program = *started;
  const long warmUp = 10;
  long rssAtWarmUp = -1;
  double cpuAtWarmUp = -1;
  double cpuAtEnd = -1;
  long cyclesAtWarmUp = 0;
  long cyclesAtEnd = 0;
  long rssAtEnd = -1;
  long peak = -1;
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(options.cycles * options.timerMs * 20 + 20000);
  while (program.Running() && std::chrono::steady_clock::now() < until) {
    const long cycles = HealthChecks(standin);
    if (rssAtWarmUp < 0 && cycles >= warmUp) {
      rssAtWarmUp = ProcStatusKiB(program.Pid(), "VmRSS");
      cpuAtWarmUp = ProcCpuSeconds(program.Pid());
      cyclesAtWarmUp = cycles;
    }
    if (cycles >= options.cycles) {
      rssAtEnd = ProcStatusKiB(program.Pid(), "VmRSS");
      cpuAtEnd = ProcCpuSeconds(program.Pid());
      cyclesAtEnd = cycles;
      peak = ProcStatusKiB(program.Pid(), "VmHWM");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  program.Terminate();
  program.Wait();
  const testing_support::ChildUsage& usage = program.Usage();
  const long cycles = HealthChecks(standin);
  const bool ran = peak > 0 && cycles >= options.cycles && cpuAtWarmUp >= 0 && cpuAtEnd >= 0;
  // The start (update check, libraries) apart from the cycles' own cost.
  const double perCycleMs =
      ran ? (cpuAtEnd - cpuAtWarmUp) * 1000 / static_cast<double>(cyclesAtEnd - cyclesAtWarmUp) : 0;
  const std::string name = std::to_string(cycles) + " health cycles";
  return {
      {"watchdog CPU time, start + " + name + " (user + system)",
       Format("%.0f ms", usage.cpuSeconds * 1000), "", "", ran},
      {"watchdog CPU time a cycle, cycles " + std::to_string(cyclesAtWarmUp) + " -> " +
           std::to_string(cyclesAtEnd),
       Format("%.2f ms", perCycleMs), "", "", ran},
      {"watchdog peak RSS (VmHWM), " + name, Format("%.1f MiB", peak / 1024.0), "", "", ran},
      {"watchdog RSS growth, cycle 10 -> " + std::to_string(options.cycles),
       Format("%.0f KiB", static_cast<double>(rssAtEnd - rssAtWarmUp)), "", "", ran},
  };
}

}  // namespace bench

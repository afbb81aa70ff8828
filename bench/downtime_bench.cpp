// f. How long the upload service is down during an upgrade: from "net stop"
// returning to "net start" being started, for a 256 MiB JAR on this machine's
// own disk, with the stand-in "net" and service manager.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "benches.h"
#include "support/zip_builder.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/staged_upgrade.h"

namespace bench {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kJarBytes = 256u << 20;

// Nanosecond stamps the stand-in wrote: "stopped <ns>" and "starting <ns>".
long long Stamp(const std::string& log, const std::string& word) {
  std::istringstream lines(log);
  std::string name;
  long long value = -1;
  while (lines >> name) {
    long long at = 0;
    lines >> at;
    if (name == word) value = at;
  }
  return value;
}

}  // namespace

std::vector<Row> DowntimeBench(const Options& options) {
  std::vector<double> seconds;
  const std::string newJar = testing_support::SampleJar(kJarBytes, 7);
  const std::string oldJar = testing_support::SampleJar(kJarBytes, 8);
  const int runs = std::min(options.runs, 5);
  for (int run = 0; run < runs; ++run) {
    upgrade_test::UpgradeDrives drives;
    const fs::path root = drives.D() / "orv" / "stock-relay";
    fs::create_directories(root / "app");
    testing_support::WriteFile(root / "app" / "stock-relay.jar", oldJar);
    const std::string log = drives.NetLog().string();
    drives.WriteNet("[ \"$1\" = start ] && echo \"starting $(date +%s%N)\" >> '" + log + "'\n" +
                    drives.ServeNet() + "[ \"$1\" = stop ] && echo \"stopped $(date +%s%N)\" >> '" +
                    log + "'\nexit 0\n");
    // The progress lines are not part of the table.
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(quiet, STDOUT_FILENO);
    upgrade_test::UpgradeFromBytes(L"D:\\orv\\stock-relay", newJar);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(quiet);
    const std::string calls = testing_support::ReadFile(drives.NetLog());
    const long long stopped = Stamp(calls, "stopped");
    const long long starting = Stamp(calls, "starting");
    if (stopped > 0 && starting > stopped) seconds.push_back((starting - stopped) / 1e9);
  }
  Row row{"service down during an upgrade, 256 MiB JAR (median s)", "n/a", "", "<= 0.5", false};
  if (!seconds.empty()) {
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    row.ours = Format("%.3f", median);
    row.met = median <= 0.5;
  }
  return {row};
}

}  // namespace bench

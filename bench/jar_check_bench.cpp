// h. The archive check's time and memory on an archive of 70,000 small entries
// and on one of a few large ones, beside Java's own reader (ZipFile, every
// entry read to its end, JVM start included) on the same files when a JDK is
// on PATH.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "benches.h"
#include "process_figures.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 3;

// Best wall and CPU time of `kRuns`, the highest peak; status of the last.
Usage Best(const std::vector<std::string>& argv, const std::string& scratch) {
  Usage best;
  for (int run = 0; run < kRuns; ++run) {
    const Usage usage = Run(argv, scratch);
    if (run == 0 || usage.seconds < best.seconds) best.seconds = usage.seconds;
    if (run == 0 || usage.cpuSeconds < best.cpuSeconds) best.cpuSeconds = usage.cpuSeconds;
    best.peakKiB = std::max(best.peakKiB, usage.peakKiB);
    best.status = usage.status;
  }
  return best;
}

bool OnPath(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

std::vector<Row> JarCheckBench(const Options& options) {
  std::fprintf(stderr, "bench: archive check, 70,000 small entries and 4 large ones\n");
  const fs::path dir = fs::path(options.workDir) / "archives";
  fs::create_directories(dir);
  struct Archive {
    const char* file;
    const char* what;
    std::vector<testing_support::ZipEntry> entries;
  } archives[2] = {{"small.jar", "70,000 small entries", {}},
                   {"large.jar", "4 entries of 32 MiB (2 deflated, 2 stored)", {}}};
  archives[0].entries.push_back({"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n", true});
  for (int i = 1; i < 70000; ++i) {
    archives[0].entries.push_back({"com/example/c" + std::to_string(i) + ".class",
                                   testing_support::SampleClasses(150 + i % 400, i), true});
  }
  for (unsigned i = 0; i < 4; ++i) {
    const bool deflate = i % 2 == 0;
    archives[1].entries.push_back({"lib/part" + std::to_string(i) + ".bin",
                                   deflate ? testing_support::SampleClasses(32u << 20, i + 1)
                                           : testing_support::SampleNoise(32u << 20, i + 1),
                                   deflate});
  }

  // Java's reader, compiled here from the differential test's source.
  const bool java = OnPath("java") && OnPath("javac");
  const fs::path classes = fs::path(options.workDir) / "classes";
  const std::string oracle =
      std::string(WARDKEEP_SOURCE_DIR) + "/tests/upgrade/posix/differential/ReadEveryEntry.java";
  const bool compiled =
      java && Run({"javac", "-encoding", "UTF-8", "-d", classes.string(), oracle}, options.workDir)
                      .status == 0;

  std::vector<Row> rows;
  for (Archive& archive : archives) {
    testing_support::WriteFile(dir / archive.file,
                               testing_support::BuildZip(archive.entries).bytes);
    archive.entries.clear();
    archive.entries.shrink_to_fit();
    const Usage ours =
        Best({WARDKEEP_BENCH_JAR_CHECK, dir.string(), archive.file}, options.workDir);
    const std::string what = std::string(archive.what) + ", " +
                             Format("%.0f MiB", fs::file_size(dir / archive.file) / 1048576.0);
    rows.push_back({"archive check, " + what + " (best of 3)",
                    Format("%.2f s", ours.seconds) + Format(", CPU %.2f s", ours.cpuSeconds) +
                        Format(", peak %.1f MiB", ours.peakKiB / 1024.0),
                    "", "", ours.status == 0});
    if (!compiled) {
      rows.push_back(
          {"Java ZipFile reading every entry, " + what, "not run: no JDK on PATH", "", "", true});
      continue;
    }
    const Usage theirs =
        Best({"java", "-cp", classes.string(), "ReadEveryEntry", (dir / archive.file).string()},
             options.workDir);
    rows.push_back({"Java ZipFile reading every entry, " + what + " (best of 3)",
                    Format("%.2f s", theirs.seconds) + Format(", CPU %.2f s", theirs.cpuSeconds) +
                        Format(", peak %.1f MiB", theirs.peakKiB / 1024.0),
                    "", "ours <= Java (wall)",
                    theirs.status == 0 && ours.seconds <= theirs.seconds});
    fs::remove(dir / archive.file);
  }
  return rows;
}

}  // namespace bench

// Download figures: HttpDownload (in a process of its own) against the curl
// tool, on the same loopback server and the same generated file. Throughput
// is measured against nginx where it is installed (the stand-in makes its
// bytes on the fly and would share the two cores with the client); memory
// and resuming against the stand-in.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "benches.h"
#include "process_figures.h"
#include "static_server.h"
#include "support/posix/standin_process.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr std::int64_t kThroughputSize = 256 * kMiB;

struct Download {
  Usage usage;
  bool complete = false;  // exit status 0 and the whole size on disk
};

Download Ours(const std::string& url, const fs::path& file, std::int64_t size) {
  fs::remove(file);
  Download d;
  d.usage =
      Run({WARDKEEP_BENCH_DOWNLOAD, url, file.parent_path().string(), file.filename().string()},
          file.parent_path().string());
  std::error_code ec;
  d.complete = d.usage.status == 0 && static_cast<std::int64_t>(fs::file_size(file, ec)) == size;
  return d;
}

Download Curl(const std::string& url, const fs::path& file, std::int64_t size) {
  fs::remove(file);
  Download d;
  d.usage = Run({"curl", "-s", "-o", file.string(), url}, file.parent_path().string());
  std::error_code ec;
  d.complete = d.usage.status == 0 && static_cast<std::int64_t>(fs::file_size(file, ec)) == size;
  return d;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary);
  std::ifstream y(b, std::ios::binary);
  std::vector<char> bx(1 << 20);
  std::vector<char> by(1 << 20);
  while (x && y) {
    x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
    y.read(by.data(), static_cast<std::streamsize>(by.size()));
    if (x.gcount() != y.gcount() || !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin())) {
      return false;
    }
  }
  return !x && !y;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double MiBs(std::int64_t size, double seconds) {
  return seconds > 0 ? static_cast<double>(size) / kMiB / seconds : 0;
}

std::string KiBAsMiB(long kib) {
  return Format("%.1f MiB", static_cast<double>(kib) / 1024);
}

}  // namespace

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::vector<Row> DownloadBenches(const Options& options) {
  std::vector<Row> rows;
  const fs::path dir = options.workDir;
  testing_support::StandinProcess standin(WARDKEEP_STANDIN,
                                          {"--jar-size", std::to_string(kThroughputSize)});
  if (!standin.Ready()) {
    std::fprintf(stderr, "bench: the stand-in did not start\n");
    return {{"download benches", "not run: the stand-in did not start", "", "", false}};
  }
  const fs::path ours = dir / "ours.bin";
  const fs::path reference = dir / "curl.bin";

  // a. Throughput, alternating which one goes first.
  fs::create_directories(dir / "www");
  Download served = Curl(standin.JarUrl(), dir / "www" / "stock-relay.jar", kThroughputSize);
  StaticServer nginx((dir / "www").string(), dir.string());
  const bool independent = served.complete && nginx.Ready();
  const std::string url = independent ? nginx.Url("stock-relay.jar") : standin.JarUrl();
  const std::string server = independent ? StaticServer::Name() : "the stand-in";
  std::fprintf(stderr, "bench: throughput, %d paired runs of 256 MiB each from %s\n", options.runs,
               server.c_str());
  std::vector<double> ratios, cpuRatios, ceilings, ourRates, curlRates, ourCpu, curlCpu;
  bool allComplete = true;
  bool identical = true;
  for (int run = 0; run < options.runs; ++run) {
    Download a, b;
    if (run % 2 == 0) {
      a = Ours(url, ours, kThroughputSize);
      b = Curl(url, reference, kThroughputSize);
    } else {
      b = Curl(url, reference, kThroughputSize);
      a = Ours(url, ours, kThroughputSize);
    }
    allComplete = allComplete && a.complete && b.complete;
    if (run == 0) identical = SameBytes(ours, reference);
    ourRates.push_back(MiBs(kThroughputSize, a.usage.seconds));
    curlRates.push_back(MiBs(kThroughputSize, b.usage.seconds));
    ratios.push_back(b.usage.seconds / a.usage.seconds);
    cpuRatios.push_back(b.usage.cpuSeconds / a.usage.cpuSeconds);
    // The same transfer with nothing stored: no download that writes the
    // file can beat the tool by more than this.
    const Usage bare = Run({"curl", "-s", "-o", "/dev/null", url}, dir.string());
    ceilings.push_back(b.usage.seconds / bare.seconds);
    ourCpu.push_back(a.usage.cpuSeconds);
    curlCpu.push_back(b.usage.cpuSeconds);
    std::fprintf(stderr, "  run %d: ours %.3f s (CPU %.3f s), curl %.3f s (CPU %.3f s)\n", run + 1,
                 a.usage.seconds, a.usage.cpuSeconds, b.usage.seconds, b.usage.cpuSeconds);
  }
  const double ratio = Median(ratios);
  rows.push_back({"throughput, 256 MiB over loopback from " + server + " (median of " +
                      std::to_string(options.runs) + ")",
                  Format("%.0f MiB/s", Median(ourRates)), Format("%.0f MiB/s", Median(curlRates)),
                  "", allComplete && identical});
  // Steadier than wall time on a shared machine.
  rows.push_back({"CPU time (user + system) for 256 MiB (median)",
                  Format("%.0f ms", Median(ourCpu) * 1000),
                  Format("%.0f ms", Median(curlCpu) * 1000), "", allComplete});
  // Each pair ran back to back, so both saw the same load.
  rows.push_back({"throughput ratio ours/curl (median of paired runs)", Format("%.2f", ratio), "",
                  ">= 1.50", ratio >= 1.5 && allComplete && identical});
  rows.push_back({"CPU time ratio curl/ours (median of paired runs)",
                  Format("%.2f", Median(cpuRatios)), "", "", allComplete});
  rows.push_back({"ceiling: curl to a file / curl to /dev/null (median)", "",
                  Format("%.2f", Median(ceilings)), "", allComplete});
  fs::remove_all(dir / "www");

  // b. Peak memory for a small and a large file.
  std::fprintf(stderr, "bench: peak memory, 64 MiB and 1 GiB\n");
  long peak[2] = {};
  long curlPeak[2] = {};
  const std::int64_t sizes[2] = {64 * kMiB, 1024 * kMiB};
  bool memoryComplete = true;
  for (int i = 0; i < 2; ++i) {
    standin.Control("/control/download", "jar-size=" + std::to_string(sizes[i]));
    Download a = Ours(standin.JarUrl(), ours, sizes[i]);
    Download b = Curl(standin.JarUrl(), dir / "curl-memory.bin", sizes[i]);
    fs::remove(dir / "curl-memory.bin");
    memoryComplete = memoryComplete && a.complete && b.complete;
    peak[i] = a.usage.peakKiB;
    curlPeak[i] = b.usage.peakKiB;
    rows.push_back({std::string("peak RSS, ") + (i == 0 ? "64 MiB" : "1 GiB") + " download",
                    KiBAsMiB(peak[i]), KiBAsMiB(curlPeak[i]), "", a.complete && b.complete});
  }
  const long growth = peak[1] - peak[0];
  rows.push_back({"peak RSS growth, 64 MiB -> 1 GiB", std::to_string(growth) + " KiB",
                  std::to_string(curlPeak[1] - curlPeak[0]) + " KiB", "< 4 MiB",
                  memoryComplete && growth < 4 * 1024});

  // c. Bytes sent again after the connection is cut at 90 %.
  std::fprintf(stderr, "bench: cut at 90 %% of 256 MiB, then resume\n");
  const std::int64_t dropAfter = kThroughputSize * 9 / 10;
  standin.Control("/control/download",
                  "jar-size=" + std::to_string(kThroughputSize) +
                      "&scenario=drop-once&drop-after=" + std::to_string(dropAfter));
  standin.Control("/control/clear", "");
  Download resumed = Ours(standin.JarUrl(), ours, kThroughputSize);
  const Json::Value records = standin.GetJson("/control/downloads");
  // What the stand-in sent: the cut answer's bytes up to the cut, then every
  // later answer from its range start to the end.
  std::int64_t sent = 0;
  for (Json::ArrayIndex i = 0; i < records.size(); ++i) {
    std::int64_t start = 0;
    const std::string range = records[i]["range"].asString();
    if (records[i]["status"].asInt() == 206 && range.rfind("bytes=", 0) == 0) {
      start = std::stoll(range.substr(6));
    }
    const std::int64_t length = kThroughputSize - start;
    sent += i == 0 ? std::min(length, dropAfter) : length;
  }
  const bool resumedRight = resumed.complete && records.size() == 2 &&
                            records[1]["status"].asInt() == 206 && SameBytes(ours, reference);
  const double resent = static_cast<double>(sent - kThroughputSize);
  const double share = 100.0 * resent / static_cast<double>(kThroughputSize);
  rows.push_back(
      {"bytes re-sent after a cut at 90 % (" + std::to_string(records.size()) + " requests)",
       Format("%.0f B", resent) + Format(" (%.4f %%)", share), "", "< 1 %",
       resumedRight && share < 1.0});
  fs::remove(ours);
  fs::remove(reference);
  return rows;
}

}  // namespace bench

// wardkeep-bench: measures, prints a table, never fails on a figure.
// Usage: wardkeep-bench [--runs N (15)] [--cycles N] [--timer-ms N]
//                      [--only download|watchdog|answers|signature|downtime|archive]
// Needs the curl tool on PATH and, for the watchdog, free ports 2405 and 2406.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "benches.h"

namespace {

namespace fs = std::filesystem;

std::string Cell(std::string text, std::size_t width) {
  // Column widths count characters, not bytes; the table is ASCII only.
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

void PrintTable(const std::vector<bench::Row>& rows) {
  std::size_t w[4] = {7, 4, 4, 6};
  for (const auto& r : rows) {
    w[0] = std::max(w[0], r.what.size());
    w[1] = std::max(w[1], r.ours.size());
    w[2] = std::max(w[2], r.reference.size());
    w[3] = std::max(w[3], r.target.size());
  }
  auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d, const std::string& e) {
    std::printf("| %s | %s | %s | %s | %s |\n", Cell(a, w[0]).c_str(), Cell(b, w[1]).c_str(),
                Cell(c, w[2]).c_str(), Cell(d, w[3]).c_str(), Cell(e, 4).c_str());
  };
  line("measure", "ours", "curl", "target", "met");
  line(std::string(w[0], '-'), std::string(w[1], '-'), std::string(w[2], '-'),
       std::string(w[3], '-'), "----");
  for (const auto& r : rows) {
    line(r.what, r.ours, r.reference, r.target,
         r.target.empty() ? (r.met ? "" : "FAIL") : (r.met ? "yes" : "NO"));
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::Options options;
  std::string only;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const char* value = argv[i + 1];
    if (name == "--runs") {
      options.runs = std::max(1, std::atoi(value));
    } else if (name == "--cycles") {
      options.cycles = std::max(1, std::atoi(value));
    } else if (name == "--timer-ms") {
      options.timerMs = static_cast<unsigned>(std::max(1, std::atoi(value)));
    } else if (name == "--only") {
      only = value;
    } else {
      std::fprintf(stderr, "wardkeep-bench: unknown option %s\n", name.c_str());
      return 2;
    }
  }
  char pattern[] = "/tmp/wardkeep-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  options.workDir = pattern;

  std::vector<bench::Row> rows;
  if (only.empty() || only == "download") {
    auto some = bench::DownloadBenches(options);
    rows.insert(rows.end(), some.begin(), some.end());
  }
  if (only.empty() || only == "watchdog") {
    auto some = bench::WatchdogBench(options);
    rows.insert(rows.end(), some.begin(), some.end());
  }
  if (only.empty() || only == "answers") {
    auto some = bench::AnswersBench(options);
    rows.insert(rows.end(), some.begin(), some.end());
  }
  if (only.empty() || only == "downtime") {
    auto some = bench::DowntimeBench(options);
    rows.insert(rows.end(), some.begin(), some.end());
  }
  if (only.empty() || only == "archive") {
    auto some = bench::JarCheckBench(options);
    rows.insert(rows.end(), some.begin(), some.end());
  }
  if (only.empty() || only == "signature") {
    auto some = bench::SignatureBench(options);
    rows.insert(rows.end(), some.begin(), some.end());
  }
  std::error_code ec;
  fs::remove_all(options.workDir, ec);
  PrintTable(rows);
  return 0;
}

// The running watchdog fed the worst answers we can construct: the same body
// from the platform service's health endpoint on every cycle and from the
// update server at start. Its peak memory (VmHWM) above that of a run with
// ordinary answers, and its CPU time per cycle. The health report is read up
// to its length limit and its value bound; the worst shapes are built to the
// nearer of the two, where the parse is at its largest.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "benches.h"
#include "platform_client/tunables.h"
#include "process_figures.h"
#include "support/posix/child_process.h"
#include "support/posix/standin_process.h"
#include "text/json_parse.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kKiB = 1024;

struct Answer {
  std::string name;
  std::string body;  // empty: the stand-in's ordinary answers
};

// Repeats `unit` until the body would pass `size` bytes, inside `open`/`close`.
std::string Repeated(const std::string& open, const std::string& unit, const std::string& close,
                     std::size_t size) {
  std::string body = open;
  while (body.size() + unit.size() + close.size() <= size) body += unit;
  if (body.back() == ',') body.pop_back();
  return body + close;
}

// As Repeated, stopping also before the body holds `values` values.
std::string RepeatedWithin(const std::string& open, const std::string& unit,
                           const std::string& close, std::size_t size, std::size_t values) {
  const std::size_t perUnit = text::JsonValuesAtMost("[" + unit + "]") - 2;
  std::string body = open;
  std::size_t count = text::JsonValuesAtMost(open + close);
  while (body.size() + unit.size() + close.size() <= size && count + perUnit <= values) {
    body += unit;
    count += perUnit;
  }
  if (body.back() == ',') body.pop_back();
  return body + close;
}

std::string ManyKeys(std::size_t size, std::size_t values) {
  std::string body = "{";
  for (long i = 0; body.size() + 16 < size && static_cast<std::size_t>(i) + 2 < values; ++i) {
    body += "\"k" + std::to_string(i) + "\":0,";
  }
  body.back() = '}';
  return body;
}

std::string LongTexts(std::size_t size) {
  const std::string text((size - 100) / 2, 'x');
  return R"({"exceptionDto":{"ok":false,"expContent":")" + text +
         R"("},"configDto":[{"erpName":")" + text + R"("}]})";
}

std::vector<Answer> Answers(std::size_t cap, std::size_t values) {
  // Deep arrays and objects: as deep as the parser goes, side by side.
  const std::string deep = std::string(900, '[') + std::string(900, ']');
  std::string deepObjects;
  for (int i = 0; i < 900; ++i) deepObjects += R"({"":)";
  deepObjects += "0" + std::string(900, '}');
  return {
      {"ordinary answers (idle)", ""},
      {"[0,0,...] of 16 MiB", Repeated("[", "0,", "]", 16 * kKiB * kKiB)},
      {"[0,0,...] just under the cap", Repeated("[", "0,", "]", cap - 1)},
      {"[0,0,...] up to the bound", RepeatedWithin("[", "0,", "]", cap - 1, values)},
      {"[[],[],...] up to the bound", RepeatedWithin("[", "[],", "]", cap - 1, values)},
      {"arrays 900 deep, side by side, up to the bound",
       RepeatedWithin("[", deep + ",", "]", cap - 1, values)},
      {"objects 900 deep, side by side, up to the bound",
       RepeatedWithin("[", deepObjects + ",", "]", cap - 1, values)},
      {"many keys up to the bound", ManyKeys(cap - 1, values)},
      {"two long texts in a fault report", LongTexts(cap - 1)},
  };
}

struct Measure {
  long peakKiB = -1;
  double cpuMsPerCycle = 0;
};

Measure RunWith(const Answer& answer, const Options& options, const fs::path& dir) {
  std::vector<std::string> args = {"--update", "none"};
  if (!answer.body.empty()) {
    const fs::path file = dir / "answer.json";
    std::ofstream(file, std::ios::binary) << answer.body;
    args = {"--platform", "raw", "--platform-body-file", file.string(),
            "--update",   "raw", "--update-body-file",   file.string()};
  }
  testing_support::StandinProcess standin(WARDKEEP_STANDIN, args,
                                          testing_support::StandinPorts::Fixed);
  if (!standin.Ready()) return {};
  const std::unique_ptr<ChildProcess> started = StartWatchdog(dir.string(), options.timerMs);
  ChildProcess& program = *started;
  const long cycles = 20;
  Measure measure;
  double cpuAtFirst = -1;
  long first = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (program.Running() && std::chrono::steady_clock::now() < until) {
    const long done = standin.GetJson("/control/hits")["health"].asInt();
    if (cpuAtFirst < 0 && done >= 1) {
      cpuAtFirst = ProcCpuSeconds(program.Pid());
      first = done;
    }
    if (done >= cycles) {
      measure.cpuMsPerCycle =
          (ProcCpuSeconds(program.Pid()) - cpuAtFirst) * 1000 / static_cast<double>(done - first);
      measure.peakKiB = ProcStatusKiB(program.Pid(), "VmHWM");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  program.Terminate();
  program.Wait();
  return measure;
}

}  // namespace

std::vector<Row> AnswersBench(const Options& options) {
  const fs::path dir = fs::path(options.workDir) / "answers";
  fs::create_directories(dir / "run");
  fs::permissions(dir / "run", fs::perms::owner_all);
  std::vector<Row> rows;
  long idle = -1;
  for (const Answer& answer : Answers(platform_client::tunables::healthAnswerLimit.Get(),
                                      platform_client::tunables::healthReportValueLimit.Get())) {
    std::fprintf(stderr, "bench: watchdog fed %s\n", answer.name.c_str());
    const Measure m = RunWith(answer, options, dir);
    const bool ran = m.peakKiB > 0;
    if (answer.body.empty()) {
      idle = m.peakKiB;
      rows.push_back({"watchdog peak RSS, " + answer.name, Format("%.1f MiB", m.peakKiB / 1024.0),
                      "", "", ran});
      continue;
    }
    const double above = static_cast<double>(m.peakKiB - idle) / 1024.0;
    rows.push_back({"peak RSS above idle, " + answer.name, Format("%.1f MiB", above), "",
                    "< 64 MiB", ran && idle > 0 && above < 64});
    rows.push_back({"CPU time a cycle, " + answer.name, Format("%.1f ms", m.cpuMsPerCycle), "",
                    "< 1000 ms", ran && m.cpuMsPerCycle < 1000});
  }
  return rows;
}

}  // namespace bench

#include "support/posix/service_manager_standin.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {
namespace {

// Mirrors the answers of the real tool for the calls the program makes.
constexpr const char* kScript = R"(#!/bin/sh
here='@DIR@'
echo "$(date +%s%N) systemctl $*" >> "$here/calls.log"
[ -f "$here/nobus" ] && { echo "Failed to connect to bus" >&2; exit 1; }
[ "$1" = "--no-ask-password" ] && shift
noblock=""
[ "$1" = "--no-block" ] && { noblock=1; shift; }
verb="$1"; shift
prop=""
case "$1" in --property=*) prop="${1#--property=}"; shift;; esac
[ "$1" = "--" ] && shift
unit="$1"
name="${unit%.service}"
state=missing
[ -n "$name" ] && [ -f "$here/units/$name" ] && state=$(cat "$here/units/$name")
can=yes
[ -n "$name" ] && [ -f "$here/fixed/$name" ] && can=no
case "$verb" in
  show)
    if [ -z "$unit" ]; then echo "$prop=252"; exit 0; fi
    for one in $(echo "$prop" | tr , ' '); do
      case "$one" in
        LoadState)
          if [ "$state" = missing ]; then echo "LoadState=not-found"; else echo "LoadState=loaded"; fi ;;
        ActiveState)
          case "$state" in
            broken) echo "Failed to get properties" >&2; exit 1 ;;
            missing|refuse|slow) echo "ActiveState=inactive" ;;
            *) echo "ActiveState=$state" ;;
          esac ;;
        CanStart|CanStop) echo "$one=$can" ;;
      esac
    done
    exit 0 ;;
  start)
    case "$state" in
      missing) echo "Unit $unit not found." >&2; exit 5 ;;
      refuse) echo "Job for $unit failed." >&2; exit 1 ;;
    esac
    if [ "$state" = slow ]; then
      # Queued only: the unit is still on its way up when the call returns.
      [ -n "$noblock" ] && { echo activating > "$here/units/$name"; exit 0; }
      sleep 60
    fi
    echo active > "$here/units/$name"
    exit 0 ;;
esac
exit 1
)";

}  // namespace

ServiceManagerStandin::ServiceManagerStandin() {
  std::string script = kScript;
  script.replace(script.find("@DIR@"), 5, m_dir.path().string());
  std::filesystem::create_directory(m_dir / "units");
  WriteFile(m_dir / "systemctl", script);
  chmod((m_dir / "systemctl").c_str(), 0755);
  WriteFile(LogFile(), "");
  const char* old = std::getenv("PATH");
  m_path.emplace("PATH", m_dir.path().string() + ":" + (old != nullptr ? old : "/usr/bin:/bin"));
}

void ServiceManagerStandin::SetUnit(const std::string& service, const std::string& state) {
  WriteFile(m_dir / "units" / service, state + "\n");
}

std::string ServiceManagerStandin::UnitState(const std::string& service) const {
  std::filesystem::path file = m_dir / "units" / service;
  if (!std::filesystem::exists(file)) return "missing";
  std::string state = ReadFile(file);
  while (!state.empty() && state.back() == '\n') state.pop_back();
  return state;
}

void ServiceManagerStandin::RefuseStartAndStop(const std::string& service) {
  std::filesystem::create_directories(m_dir / "fixed");
  WriteFile(m_dir / "fixed" / service, "");
}

void ServiceManagerStandin::CutBus() {
  WriteFile(m_dir / "nobus", "");
}

std::vector<ServiceManagerStandin::Call> ServiceManagerStandin::Calls() const {
  std::vector<Call> calls;
  std::istringstream in(ReadFile(LogFile()));
  for (std::string line; std::getline(in, line);) {
    std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    calls.push_back({std::atoll(line.substr(0, space).c_str()), line.substr(space + 1)});
  }
  return calls;
}

std::vector<std::string> ServiceManagerStandin::Lines() const {
  std::vector<std::string> lines;
  for (const Call& call : Calls()) lines.push_back(call.line);
  return lines;
}

std::vector<std::string> ServiceManagerStandin::Starts() const {
  const std::string prefix = "systemctl --no-ask-password --no-block start -- ";
  std::vector<std::string> starts;
  for (const Call& call : Calls()) {
    if (call.line.rfind(prefix, 0) != 0) continue;
    std::string unit = call.line.substr(prefix.size());
    starts.push_back(unit.substr(0, unit.rfind(".service")));
  }
  return starts;
}

}  // namespace testing_support

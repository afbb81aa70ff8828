// Win32 test helper: the native stand-in on the fixed ports, seen from Wine.
#include "support/win32/standin_session.h"

// The sockets header must come before the system header that httplib meets.
#include <winsock2.h>

#include <windows.h>

#include <httplib.h>

#include <filesystem>
#include <regex>

#include "support/standin_command.h"
#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/host_shell.h"

namespace testing_support::win32 {
namespace {

using namespace std::chrono_literals;

// A crashed test must not leave the production ports taken for good.
constexpr int kLifetimeSeconds = 600;

// Wine hands back no process, so its announcement is read from a host file.
bool Announced(const std::string& outputFile) {
  const auto address = AnnouncedAddress(ReadFile(BuildPath(outputFile.c_str())));
  return address && address->platformPort == kStandinPlatformPort &&
         address->updatePort == kStandinUpdatePort;
}

}  // namespace

bool StandinSession::PortAnswers(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(1, 0);
  client.set_read_timeout(2, 0);
  return static_cast<bool>(client.Get("/control/state"));
}

StandinSession::StandinSession(const std::string& standinPath,
                               const std::vector<std::string>& options) {
  if (PortAnswers(kStandinPlatformPort) || PortAnswers(kStandinUpdatePort)) {
    m_error = "ports 2405/2406 are already in use";
    return;
  }
  m_files = "/tmp/wardkeep-win32-standin-" + std::to_string(::GetCurrentProcessId());
  // An earlier process of the same id may have left an announcement behind.
  std::error_code ignored;
  std::filesystem::remove(BuildPath((m_files + ".out").c_str()), ignored);
  std::string command;
  for (const std::string& word : StandinCommand(standinPath, StandinPorts::Fixed, options)) {
    command += " " + ShellQuote(word);
  }
  const std::string script = "echo $$ > " + ShellQuote(m_files + ".pid") + "; exec timeout " +
                             std::to_string(kLifetimeSeconds) + command + " >" +
                             ShellQuote(m_files + ".out") + " 2>/dev/null";
  if (!StartHostShell(script)) {
    m_error = "Wine did not start the host shell";
    m_files.clear();
    return;
  }
  if (!WaitUntil([this] { return Announced(m_files + ".out"); }, 20s)) {
    m_error = "the stand-in did not announce 2405/2406";
  }
}

StandinSession::~StandinSession() {
  if (m_files.empty()) return;
  // timeout passes the signal on to the stand-in.
  const std::string pidFile = ShellQuote(m_files + ".pid");
  StartHostShell("kill $(cat " + pidFile + "); rm -f " + pidFile);
  WaitUntil([] { return !PortAnswers(kStandinPlatformPort) && !PortAnswers(kStandinUpdatePort); },
            20s);
  std::error_code ignored;
  for (const char* suffix : {".pid", ".out"}) {
    std::filesystem::remove(BuildPath((m_files + suffix).c_str()), ignored);
  }
}

bool StandinSession::Control(const std::string& json) const {
  httplib::Client client("127.0.0.1", kStandinPlatformPort);
  client.set_read_timeout(10, 0);
  auto result = client.Post("/control", json, "application/json");
  return result && result->status == 200;
}

int StandinSession::HealthHits() {
  httplib::Client client("127.0.0.1", kStandinPlatformPort);
  auto result = client.Get("/control/hits");
  std::smatch found;
  static const std::regex health(R"("health"\s*:\s*([0-9]+))");
  if (!result || result->status != 200 || !std::regex_search(result->body, found, health)) {
    return -1;
  }
  return std::stoi(found[1]);
}

}  // namespace testing_support::win32

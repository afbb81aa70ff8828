// Win32 test helper: the native stand-in on the fixed ports, seen from Wine.
#include "support/win32/standin_session.h"

#include <windows.h>

#include <httplib.h>

#include <filesystem>

#include "support/win32/dialog_probe.h"
#include "support/win32/host_shell.h"

namespace testing_support::win32 {
namespace {

using namespace std::chrono_literals;

constexpr int kPlatformPort = 2405;
constexpr int kUpdatePort = 2406;
// A crashed test must not leave the production ports taken for good.
constexpr int kLifetimeSeconds = 600;

std::wstring WindowsForm(const std::string& hostPath) {
  std::wstring path = L"Z:";
  for (char c : hostPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

}  // namespace

bool StandinSession::PortAnswers(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(1, 0);
  client.set_read_timeout(2, 0);
  return static_cast<bool>(client.Get("/control/state"));
}

StandinSession::StandinSession(const std::string& standinPath, const std::string& arguments,
                               bool updateOverTls) {
  if (PortAnswers(kPlatformPort) || PortAnswers(kUpdatePort)) {
    m_error = "ports 2405/2406 are already in use";
    return;
  }
  m_pidFile = "/tmp/wardkeep-win32-standin-" + std::to_string(::GetCurrentProcessId()) + ".pid";
  std::string script = "echo $$ > " + ShellQuote(m_pidFile) + "; exec timeout " +
                       std::to_string(kLifetimeSeconds) + " " + ShellQuote(standinPath) +
                       " --quiet " + arguments + " >/dev/null 2>&1";
  if (!StartHostShell(script)) {
    m_error = "Wine did not start the host shell";
    m_pidFile.clear();
    return;
  }
  if (!WaitUntil(
          [updateOverTls] {
            return PortAnswers(kPlatformPort) && (updateOverTls || PortAnswers(kUpdatePort));
          },
          20s)) {
    m_error = "the stand-in did not answer on 2405/2406";
  }
}

StandinSession::~StandinSession() {
  if (m_pidFile.empty()) return;
  // timeout passes the signal on to the stand-in.
  StartHostShell("kill $(cat " + ShellQuote(m_pidFile) + "); rm -f " + ShellQuote(m_pidFile));
  WaitUntil([] { return !PortAnswers(kPlatformPort) && !PortAnswers(kUpdatePort); }, 20s);
  std::error_code ignored;
  std::filesystem::remove(WindowsForm(m_pidFile), ignored);
}

bool StandinSession::Control(const std::string& json) const {
  httplib::Client client("127.0.0.1", kPlatformPort);
  client.set_read_timeout(10, 0);
  auto result = client.Post("/control", json, "application/json");
  return result && result->status == 200;
}

}  // namespace testing_support::win32

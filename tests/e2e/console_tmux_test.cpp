// The native watchdog in a real terminal (tmux) against the stand-in on the
// production ports: the panel appears with a fault, Enter presses the button
// only while it is shown, a healthy answer hides it again and Escape ends the
// program. What it tells the system's log arrives at a syslog socket the test
// owns.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/posix/standin_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::StandinPorts;
using testing_support::StandinProcess;
using testing_support::TempDir;

// Runs a shell command and returns what it printed.
std::string Shell(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// A syslog socket as /dev/log is one: records arrive as datagrams
// "<priority>wardkeep[pid]: [id] heading; line; …".
class SyslogSocket {
 public:
  explicit SyslogSocket(const std::filesystem::path& path) : m_path(path) {
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    m_bound =
        m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~SyslogSocket() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool Bound() const { return m_bound; }
  // Every record received so far.
  const std::vector<std::string>& Records() {
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0) m_records.emplace_back(buffer, n);
    return m_records;
  }
  // "priority id" for each record, e.g. "14 1000".
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    static const std::regex record(R"(^<([0-9]+)>wardkeep\[[0-9]+\]: \[([0-9]+)\] )");
    for (const std::string& text : Records()) {
      std::smatch found;
      events.push_back(std::regex_search(text, found, record)
                           ? found[1].str() + " " + found[2].str()
                           : "unreadable: " + text);
    }
    return events;
  }
  bool WaitForEvents(std::size_t count, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Records().size() < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }

 private:
  std::filesystem::path m_path;
  int m_fd = -1;
  bool m_bound = false;
  std::vector<std::string> m_records;
};

class ConsoleInTmux : public testing::Test {
 protected:
  void SetUp() override {
    if (Shell("command -v tmux").empty()) GTEST_SKIP() << "no tmux";
    standin = std::make_unique<StandinProcess>(
        WARDKEEP_STANDIN, std::vector<std::string>{"--platform", "healthy"}, StandinPorts::Fixed);
    ASSERT_TRUE(standin->Ready()) << "ports 2405/2406 busy? " << standin->Stderr();
    // A cache client planted in the installation, which must never run, and
    // the service manager, which refuses every call, so nothing on this
    // machine is started: each leaves a line in one log.
    std::filesystem::path client = temp / "d/orv/stock-relay/redis/redis-cli.exe";
    std::filesystem::create_directories(client.parent_path());
    std::filesystem::create_directories(temp / "d/orv/stock-relay/app");
    testing_support::WriteFile(temp / "d/orv/stock-relay/app/stock-relay.jar", "jar");
    std::filesystem::create_directory(temp / "bin");
    WriteScript(client, "echo \"flush $*\" >> '" + Log().string() + "'");
    WriteScript(temp / "bin" / "systemctl",
                "echo \"systemctl $*\" >> '" + Log().string() + "'; exit 1");
    testing_support::WriteFile(Log(), "");
    std::string env = "PATH=" + (temp / "bin").string() + ":/usr/bin:/bin" +
                      " XDG_RUNTIME_DIR=" + temp.path().string() +
                      " XDG_CONFIG_HOME=" + (temp / "config").string() +
                      " WARDKEEP_DRIVE_D=" + (temp / "d").string() + " LANG=C.UTF-8" +
                      " WARDKEEP_SYSLOG_SOCKET=" + (temp / "syslog").string();
    ASSERT_TRUE(syslog.Bound());
    Tmux("new-session -d -s wk -x 100 -y 30 'env " + env + " " + WARDKEEP_FAST_TIMERS +
         " 300; echo ended; sleep 60'");
  }
  void TearDown() override { Tmux("kill-server"); }

  std::string Tmux(const std::string& arguments) {
    return Shell("tmux -L " + socket + " " + arguments + " 2>&1");
  }
  bool ScreenShows(const std::string& text, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Tmux("capture-pane -p -t wk").find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }
  std::filesystem::path Log() { return temp / "button.log"; }
  void WriteScript(const std::filesystem::path& path, const std::string& body) {
    testing_support::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
  }
  void Control(const std::string& form) {
    Shell("curl -fsS -o /dev/null -d '" + form + "' http://127.0.0.1:2405/control");
  }

  TempDir temp;
  SyslogSocket syslog{temp / "syslog"};
  std::string socket = "wardkeep-test-" + std::to_string(::getpid());
  std::unique_ptr<StandinProcess> standin;
};

TEST_F(ConsoleInTmux, ThePanelFollowsThePlatformAndTheKeysWork) {
  ASSERT_TRUE(ScreenShows("wardkeep (hidden) 服务正常运行", 10s)) << Tmux("capture-pane -p -t wk");

  // Hidden, the window takes no keys: Enter neither flushes nor starts. A few
  // cycles pass, so the key has long been read when the log is looked at.
  Tmux("send-keys -t wk Enter");
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(testing_support::ReadFile(Log()), "");

  Control("platform=fault&fault-text=disk full&erp=ERP-7");
  ASSERT_TRUE(ScreenShows("| disk full", 10s)) << Tmux("capture-pane -p -t wk");
  std::string panel = Tmux("capture-pane -p -t wk");
  EXPECT_NE(panel.find("ERP：         ERP-7"), std::string::npos) << panel;
  EXPECT_NE(panel.find("[ 尝试启动 ]"), std::string::npos) << panel;
  EXPECT_EQ(testing_support::ReadFile(Log()), "");

  // Shown, Enter runs the button's command: the flush first, then the
  // service manager; the button is back at rest afterwards.
  Tmux("send-keys -t wk Enter");
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (testing_support::ReadFile(Log()).find("systemctl") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  // The flush goes over the socket: the client planted in the installation
  // never runs.
  EXPECT_EQ(testing_support::ReadFile(Log()).rfind("systemctl ", 0), 0u)
      << testing_support::ReadFile(Log());
  EXPECT_TRUE(ScreenShows("[ 尝试启动 ]", 10s)) << Tmux("capture-pane -p -t wk");

  Control("platform=healthy");
  ASSERT_TRUE(ScreenShows("wardkeep (hidden) 服务正常运行", 10s)) << Tmux("capture-pane -p -t wk");

  // Escape ends the program, hidden or not.
  Tmux("send-keys -t wk Escape");
  EXPECT_TRUE(ScreenShows("ended", 10s)) << Tmux("capture-pane -p -t wk");
}

// Health reports the stand-in has answered so far.
int HealthHits() {
  static const std::regex health(R"("health"\s*:\s*([0-9]+))");
  const std::string hits = Shell("curl -fsS http://127.0.0.1:2405/control/hits");
  std::smatch found;
  return std::regex_search(hits, found, health) ? std::stoi(found[1]) : -1;
}

// syslog priorities: facility user (8) plus 3 error, 4 warning, 6 information.
TEST_F(ConsoleInTmux, TheLogGetsTheStartTheUpdateTheButtonAndEachHealthChangeOnly) {
  ASSERT_TRUE(ScreenShows("wardkeep (hidden) 服务正常运行", 10s)) << Tmux("capture-pane -p -t wk");
  // Thirty healthy ticks and more, ten minutes of the real program: nothing
  // is written for any of them.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (HealthHits() < 32 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(200ms);
  }
  ASSERT_GE(HealthHits(), 32);
  EXPECT_EQ(syslog.Events(), (std::vector<std::string>{"14 1000", "14 1100"}));
  const std::vector<std::string> records = syslog.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].find("] Wardkeep started; Version: "), std::string::npos) << records[0];
  EXPECT_NE(records[0].find("; Rights: "), std::string::npos) << records[0];
  EXPECT_NE(records[1].find("; Outcome: 没有可用的更新; "), std::string::npos) << records[1];

  Control("platform=fault&fault-text=disk full");
  ASSERT_TRUE(syslog.WaitForEvents(3, 10s));
  // The button: the flush runs, every service start is refused.
  ASSERT_TRUE(ScreenShows("| disk full", 10s)) << Tmux("capture-pane -p -t wk");
  Tmux("send-keys -t wk Enter");
  ASSERT_TRUE(syslog.WaitForEvents(4, 20s));
  Control("platform=healthy");
  ASSERT_TRUE(syslog.WaitForEvents(5, 10s));
  std::this_thread::sleep_for(1500ms);  // a few healthy ticks more
  EXPECT_EQ(syslog.Events(),
            (std::vector<std::string>{"14 1000", "14 1100", "11 1300", "12 1201", "14 1301"}));
  const std::vector<std::string> all = syslog.Records();
  EXPECT_NE(all[2].find("] Health check: fault; Fault: disk full"), std::string::npos) << all[2];
  EXPECT_NE(all[3].find("; Redis cache: "), std::string::npos) << all[3];
  EXPECT_NE(all[3].find("; redis-orv: FAILED"), std::string::npos) << all[3];
  EXPECT_EQ(all[3].find("redis-cli"), std::string::npos) << all[3];
  EXPECT_NE(all[4].find("] Health check: well again; The fault was: disk full"), std::string::npos)
      << all[4];
  Tmux("send-keys -t wk Escape");
}

}  // namespace

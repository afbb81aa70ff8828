// The native watchdog in a real terminal (tmux) against the stand-in on the
// production ports: the panel appears with a fault, Enter presses the button
// only while it is shown, a healthy answer hides it again and Escape ends the
// program; a terminal's escape sequences and whatever stands on standard
// input do not.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
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

class ConsoleInTmux : public testing::Test {
 protected:
  void SetUp() override {
    if (Shell("command -v tmux").empty()) GTEST_SKIP() << "no tmux";
    standin = std::make_unique<StandinProcess>(
        WARDKEEP_STANDIN, std::vector<std::string>{"--platform", "healthy"}, StandinPorts::Fixed);
    ASSERT_TRUE(standin->Ready()) << "ports 2405/2406 busy? " << standin->Stderr();
    // The service manager leaves a line for each call in one log and refuses
    // every call, so nothing on this machine is started; the cache client on
    // drive D: would leave one too, but nothing may ever run it.
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
                      " WARDKEEP_DRIVE_D=" + (temp / "d").string() + " LANG=C.UTF-8";
    // An Escape waiting on standard input: not the terminal's, so not a key.
    Tmux("new-session -d -s wk -x 100 -y 30 'printf \"\\\\033\" | env " + env + " " +
         WARDKEEP_FAST_TIMERS + " 300; echo ended; sleep 60'");
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

  // Shown, Enter runs the button's command: the flush (over the socket, no
  // program) and then the service manager; the button is back at rest.
  Tmux("send-keys -t wk Enter");
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (testing_support::ReadFile(Log()).find("systemctl") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(testing_support::ReadFile(Log()).rfind("systemctl ", 0), 0u)
      << testing_support::ReadFile(Log());
  EXPECT_TRUE(ScreenShows("[ 尝试启动 ]", 10s)) << Tmux("capture-pane -p -t wk");

  Control("platform=healthy");
  ASSERT_TRUE(ScreenShows("wardkeep (hidden) 服务正常运行", 10s)) << Tmux("capture-pane -p -t wk");

  // Escape sequences are not Escape: an arrow key, and replies a terminal
  // sends when asked (a colour query, a cursor report), each in one piece.
  for (const char* hex : {"1b 5b 41", "1b 5d 31 31 3b 72 67 62 3a 30 2f 30 2f 30 07",
                          "1b 5b 32 34 3b 38 30 52", "1b 1b 5b 41"}) {
    SCOPED_TRACE(hex);
    Tmux(std::string("send-keys -t wk -H ") + hex);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(ScreenShows("ended", 0s)) << Tmux("capture-pane -p -t wk");
  }

  // Escape ends the program, hidden or not.
  Tmux("send-keys -t wk Escape");
  EXPECT_TRUE(ScreenShows("ended", 10s)) << Tmux("capture-pane -p -t wk");
}

}  // namespace

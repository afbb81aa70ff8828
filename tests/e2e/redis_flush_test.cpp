// The button against a real Redis server on the installation's port: the
// watchdog empties it itself before any service is looked at, and never runs
// the client program the installation's folder holds.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/wardkeep_dlg.h"
#include "host/tunables.h"
#include "support/posix/child_process.h"
#include "support/posix/service_manager_standin.h"
#include "support/recording_view.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::RecordingView;
using testing_support::ScopedEnv;
using testing_support::ServiceManagerStandin;
using testing_support::TempDir;
using testing_support::WriteFile;
using Strings = std::vector<std::string>;

constexpr int kRedisPort = 16380;

bool PortIsFree(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return free;
}

// Runs redis-cli against the test server; its output without the line feed.
std::string RedisCli(const std::string& args) {
  std::string command = "redis-cli -p " + std::to_string(kRedisPort) + " " + args + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return "<no redis-cli>";
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

long RunsOfTheClient(const Strings& lines) {
  return std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("redis-cli") != std::string::npos;
  });
}

class RedisFlush : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* unit : {"redis-orv", "Mysql-orv", "stock-relay"}) {
      manager.SetUnit(unit, "active");
    }
  }

  void StartServer() {
    if (!PortIsFree(kRedisPort)) GTEST_SKIP() << "port 16380 is in use by something else";
    std::filesystem::create_directory(temp / "redis");
    server.emplace(Strings{"redis-server", "--port", std::to_string(kRedisPort), "--bind",
                           "127.0.0.1", "--save", "", "--appendonly", "no", "--daemonize", "no",
                           "--dir", (temp / "redis").string()},
                   std::map<std::string, std::string>{}, temp.path());
    ASSERT_TRUE(server->Started());
    ASSERT_TRUE(server->WaitForOutput("Ready to accept connections", 20s)) << server->Stdout();
  }

  // The installation, with a client program in its folder that would leave a
  // line in the shared call log (and flush) if anything ran it.
  void Install(const std::string& fileName = "redis-cli.exe") {
    std::filesystem::path client = drive / "orv/stock-relay/redis" / fileName;
    std::filesystem::create_directories(client.parent_path());
    // What makes the folder an installation: its JAR.
    std::filesystem::create_directories(drive / "orv/stock-relay/app");
    WriteFile(drive / "orv/stock-relay/app/stock-relay.jar", "jar");
    WriteFile(client, "#!/bin/sh\necho \"$(date +%s%N) redis-cli $*\" >> '" +
                          manager.LogFile().string() + "'\nexec redis-cli \"$@\"\n");
    chmod(client.c_str(), 0755);
  }

  void Press() {
    CwardkeepDlg dialog(view);
    dialog.OnTryStart();
  }

  TempDir temp;
  TempDir drive;
  ScopedEnv mapD{"WARDKEEP_DRIVE_D", drive.path().string()};
  ServiceManagerStandin manager;
  tunable::ScopedTunable<std::chrono::milliseconds> pause{host::tunables::serviceStartPause, 1ms};
  std::optional<ChildProcess> server;  // ended (killed) with the fixture
  RecordingView view;
};

TEST_F(RedisFlush, EmptiesEveryDatabaseBeforeAnyServiceIsAsked) {
  StartServer();
  ASSERT_EQ(RedisCli("set price:1 9.90"), "OK");
  ASSERT_EQ(RedisCli("-n 3 set label:7 shelf"), "OK");
  ASSERT_EQ(RedisCli("dbsize"), "1");
  Install();

  Press();

  EXPECT_EQ(RedisCli("dbsize"), "0");
  EXPECT_EQ(RedisCli("-n 3 dbsize"), "0");
  Strings lines = manager.Lines();
  ASSERT_FALSE(lines.empty());  // the services were looked at
  EXPECT_EQ(RunsOfTheClient(lines), 0);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(view.texts[1000], L"尝试启动");
}

TEST_F(RedisFlush, TheClientProgramIsNotNeeded) {
  StartServer();
  ASSERT_EQ(RedisCli("set price:1 9.90"), "OK");
  // Under another name only: the installation ships no client the flush could use.
  Install("redis-cli");

  Press();

  EXPECT_EQ(RedisCli("dbsize"), "0");
  EXPECT_EQ(RunsOfTheClient(manager.Lines()), 0);
}

TEST_F(RedisFlush, WithoutAnInstallationTheServerIsLeftAlone) {
  StartServer();
  ASSERT_EQ(RedisCli("set price:1 9.90"), "OK");

  Press();

  EXPECT_EQ(RedisCli("get price:1"), "9.90");
  EXPECT_FALSE(manager.Lines().empty());  // the services were still looked at
}

TEST_F(RedisFlush, AStoppedServerDoesNotKeepTheServicesFromStarting) {
  if (!PortIsFree(kRedisPort)) GTEST_SKIP() << "port 16380 is in use by something else";
  Install();
  manager.SetUnit("redis-orv", "inactive");
  manager.SetUnit("stock-relay", "inactive");

  auto started = std::chrono::steady_clock::now();
  Press();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);

  EXPECT_EQ(RunsOfTheClient(manager.Lines()), 0);
  EXPECT_EQ(manager.Starts(), (Strings{"redis-orv", "stock-relay"}));
  EXPECT_EQ(view.texts[1000], L"尝试启动");
  EXPECT_TRUE(view.enabled[1000]);
}

}  // namespace

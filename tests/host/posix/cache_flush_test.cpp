// The hidden, bounded launch of the cache client, and the flush as the button
// runs it, with shell scripts standing in for the client.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/wardkeep_dlg.h"
#include "host/cache_flush.h"
#include "host/tunables.h"
#include "os/processes.h"
#include "support/posix/service_manager_standin.h"
#include "support/recording_view.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ReadFile;
using testing_support::RecordingView;
using testing_support::ScopedEnv;
using testing_support::ServiceManagerStandin;
using testing_support::TempDir;
using testing_support::WriteFile;
using Strings = std::vector<std::string>;

void WriteScript(const std::filesystem::path& path, const std::string& body) {
  std::filesystem::create_directories(path.parent_path());
  WriteFile(path, "#!/bin/sh\n" + body);
  chmod(path.c_str(), 0755);
}

Strings Lines(const std::string& text) {
  Strings lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

// Gone, or a zombie waiting for its new parent.
bool ProcessEnded(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  std::size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}

bool EndsWithin(const std::string& pid, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ProcessEnded(pid)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// D: is a temporary directory; the client sits where the installation has it.
class DriveD : public testing::Test {
 protected:
  std::filesystem::path Client() const { return drive / "orv/stock-relay/redis/redis-cli.exe"; }

  TempDir drive;
  ScopedEnv mapD{"WARDKEEP_DRIVE_D", drive.path().string()};
};

class LaunchHidden : public DriveD {};

TEST_F(LaunchHidden, ArgumentsAreTheParameterTextSplitOnSpacesAndStdioIsNull) {
  WriteScript(
      drive / "rec.sh",
      "out=\"$(dirname \"$0\")/args\"\n"
      ": > \"$out\"\n"
      "for a in \"$@\"; do echo \"$a\" >> \"$out\"; done\n"
      "stdio=\"$(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1) $(readlink /proc/$$/fd/2)\"\n"
      "echo \"$stdio\" > \"$(dirname \"$0\")/stdio\"\n"
      "echo visible\n");
  struct Case {
    const wchar_t* parameters;
    Strings args;
  };
  const Case cases[] = {
      {L"-p 16380 flushall", {"-p", "16380", "flushall"}},
      {L"  two   spaces ", {"two", "spaces"}},
      {L"", {}},
      {L"ünï \"quoted text\"", {"ünï", "\"quoted", "text\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.parameters)));
    std::filesystem::remove(drive / "stdio");
    EXPECT_EQ(os::LaunchHiddenAndWait(L"D:\\rec.sh", c.parameters, 10000), os::LaunchResult::Ended);
    EXPECT_EQ(Lines(ReadFile(drive / "args")), c.args);
    EXPECT_EQ(ReadFile(drive / "stdio"), "/dev/null /dev/null /dev/null\n");
  }
}

TEST_F(LaunchHidden, WhatCannotBeRunIsNotStarted) {
  WriteFile(drive / "plain.txt", "not a program\n");
  for (const wchar_t* program :
       {L"D:\\missing.exe", L"D:\\plain.txt", L"Q:\\redis-cli.exe", L"D:\\", L""}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(program)));
    EXPECT_EQ(os::LaunchHiddenAndWait(program, L"-p 16380 flushall", 10000),
              os::LaunchResult::NotStarted);
  }
}

TEST_F(LaunchHidden, AProgramStillRunningAtTheDeadlineIsEndedWithItsChildren) {
  WriteScript(drive / "hang.sh",
              "dir=\"$(dirname \"$0\")\"\n"
              "sleep 300 &\n"
              "echo $! > \"$dir/child.tmp\" && mv \"$dir/child.tmp\" \"$dir/child\"\n"
              "echo $$ > \"$dir/self\"\n"
              "wait\n");
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(os::LaunchHiddenAndWait(L"D:\\hang.sh", L"", 500), os::LaunchResult::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 60s);
  ASSERT_TRUE(std::filesystem::exists(drive / "child"));
  std::string self = Lines(ReadFile(drive / "self")).at(0);
  std::string child = Lines(ReadFile(drive / "child")).at(0);
  EXPECT_TRUE(EndsWithin(self, 0ms)) << "reaped before the call returned";
  EXPECT_TRUE(EndsWithin(child, 5000ms));
}

// An installation on D: (its JAR in app\), whose client the flush runs.
class Flush : public DriveD {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(drive / "orv/stock-relay/app");
    WriteFile(drive / "orv/stock-relay/app/stock-relay.jar", "jar");
  }
};

TEST_F(Flush, RunsTheInstallationsClientWithTheFlushArguments) {
  WriteScript(Client(), "printf '%s|' \"$@\" > \"$(dirname \"$0\")/called\"\n");
  host::FlushRedisCache(L"D:\\orv\\stock-relay\\redis\\redis-cli.exe");
  EXPECT_EQ(ReadFile(Client().parent_path() / "called"), "-p|16380|flushall|");
}

// A client that never ends holds the button only as long as allowed; the
// services are looked at afterwards all the same.
TEST_F(Flush, AHangingClientIsEndedAndTheServicesComeNext) {
  WriteScript(Client(),
              "echo $$ > \"$(dirname \"$0\")/pid\"\n"
              "exec sleep 300\n");
  ServiceManagerStandin manager;
  for (const char* unit : {"redis-orv", "Mysql-orv", "stock-relay"})
    manager.SetUnit(unit, "active");
  manager.SetUnit("Mysql-orv", "inactive");
  tunable::ScopedTunable bound(host::tunables::redisFlushTimeLimit, 500ms);
  tunable::ScopedTunable pause(host::tunables::serviceStartPause, 1ms);
  RecordingView view;
  CwardkeepDlg dialog(view);

  auto started = std::chrono::steady_clock::now();
  dialog.OnTryStart();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 60s);

  EXPECT_TRUE(EndsWithin(Lines(ReadFile(Client().parent_path() / "pid")).at(0), 0ms));
  EXPECT_EQ(manager.Starts(), Strings{"Mysql-orv"});
  EXPECT_EQ(view.texts[1000], L"尝试启动");
  EXPECT_TRUE(view.enabled[1000]);
}

}  // namespace

// A system program natively: found on PATH, its argument text split on
// spaces, standard input from nowhere and its output where the caller's goes,
// and at the deadline ended together with what it started.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "os/processes.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;
using Strings = std::vector<std::string>;

void WriteScript(const std::filesystem::path& path, const std::string& body) {
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

// A folder of scripts first on PATH; they write beside themselves.
class PosixSystemProgram : public testing::Test {
 protected:
  TempDir bin;
  ScopedEnv onPath{"PATH", bin.path().string() + ":" +
                               (std::getenv("PATH") != nullptr ? std::getenv("PATH") : "")};
};

TEST_F(PosixSystemProgram, ArgumentsAreTheTextSplitOnSpacesAndOnlyTheOutputIsShared) {
  WriteScript(bin / "wardkeep-rec",
              "out=\"$(dirname \"$0\")/args\"\n"
              ": > \"$out\"\n"
              "for a in \"$@\"; do echo \"$a\" >> \"$out\"; done\n"
              "stdio=\"$(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1) "
              "$(readlink /proc/$$/fd/2)\"\n"
              "echo \"$stdio\" > \"$(dirname \"$0\")/stdio\"\n");
  const std::string shared = std::filesystem::read_symlink("/proc/self/fd/1").string() + " " +
                             std::filesystem::read_symlink("/proc/self/fd/2").string();
  struct Case {
    const wchar_t* arguments;
    Strings args;
  };
  const Case cases[] = {
      {L"-p 16380 flushall", {"-p", "16380", "flushall"}},
      {L"  two   spaces ", {"two", "spaces"}},
      {L"", {}},
      {L"ünï \"quoted text\"", {"ünï", "\"quoted", "text\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.arguments)));
    std::filesystem::remove(bin / "stdio");
    EXPECT_EQ(os::RunSystemProgramAndWait(L"wardkeep-rec", c.arguments, 10000),
              os::LaunchResult::Ended);
    EXPECT_EQ(Lines(ReadFile(bin / "args")), c.args);
    EXPECT_EQ(ReadFile(bin / "stdio"), "/dev/null " + shared + "\n");
  }
}

TEST_F(PosixSystemProgram, WhatCannotBeRunIsNotStarted) {
  WriteFile(bin / "wardkeep-plain", "not a program\n");
  for (const wchar_t* program : {L"wardkeep-missing", L"wardkeep-plain"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(program)));
    EXPECT_EQ(os::RunSystemProgramAndWait(program, L"stop stock-relay", 10000),
              os::LaunchResult::NotStarted);
  }
}

TEST_F(PosixSystemProgram, AProgramStillRunningAtTheDeadlineIsEndedWithItsChildren) {
  WriteScript(bin / "wardkeep-hang",
              "dir=\"$(dirname \"$0\")\"\n"
              "sleep 300 &\n"
              "echo $! > \"$dir/child.tmp\" && mv \"$dir/child.tmp\" \"$dir/child\"\n"
              "echo $$ > \"$dir/self\"\n"
              "wait\n");
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(os::RunSystemProgramAndWait(L"wardkeep-hang", L"", 500), os::LaunchResult::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 60s);
  ASSERT_TRUE(std::filesystem::exists(bin / "child"));
  std::string self = Lines(ReadFile(bin / "self")).at(0);
  std::string child = Lines(ReadFile(bin / "child")).at(0);
  EXPECT_TRUE(EndsWithin(self, 0ms)) << "reaped before the call returned";
  EXPECT_TRUE(EndsWithin(child, 5000ms));
}

}  // namespace

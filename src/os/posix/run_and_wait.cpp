// Native backend of "run a command line and wait": posix_spawnp and a bounded wait.
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "os/posix/spawn.h"
#include "os/processes.h"
#include "unicode/utf8.h"

namespace os {
namespace {

// Words separated by spaces; no quoting, which the fixed commands never need.
std::vector<std::string> SplitOnSpaces(const std::string& commandLine) {
  std::vector<std::string> words;
  std::istringstream in(commandLine);
  for (std::string word; std::getline(in, word, ' ');) {
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

}  // namespace

LaunchResult RunCommandLineAndWait(const std::wstring& commandLine, unsigned timeoutMilliseconds) {
  std::vector<std::string> argv = SplitOnSpaces(unicode::EncodeUtf8(commandLine));
  posix::SpawnOptions options;
  options.searchPath = true;
  options.ownProcessGroup = true;  // a stuck command's own children end with it
  // Like a console command on Windows, its messages reach whoever watches.
  options.stdoutFd = STDOUT_FILENO;
  options.stderrFd = STDERR_FILENO;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  std::optional<pid_t> pid = posix::Spawn(argv, options);
  if (!pid) return LaunchResult::NotStarted;
  if (posix::WaitUntil(*pid, deadline)) return LaunchResult::Ended;
  posix::KillAndReap(*pid, true);
  return LaunchResult::TimedOut;
}

}  // namespace os

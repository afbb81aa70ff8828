// Native backend of the processes service: posix_spawn through the drive map,
// waitpid with a deadline, the child's process group ended at the deadline.
#include "os/processes.h"

#include <chrono>
#include <string>
#include <vector>

#include "os/posix/drive_map.h"
#include "os/posix/spawn.h"
#include "unicode/utf8.h"

namespace os {
namespace {

// The platform hands the text to the program whole; here it is split on
// spaces, which is all the program ever passes.
std::vector<std::string> SplitOnSpaces(const std::string& text) {
  std::vector<std::string> words;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find(' ', begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) words.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return words;
}

}  // namespace

LaunchResult LaunchHiddenAndWait(const std::wstring& program, const std::wstring& parameters,
                                 unsigned timeoutMilliseconds) {
  auto hostPath = posix::ToHostPath(program);
  if (!hostPath) return LaunchResult::NotStarted;
  std::vector<std::string> argv{*hostPath};
  for (std::string& word : SplitOnSpaces(unicode::EncodeUtf8(parameters))) {
    argv.push_back(std::move(word));
  }
  posix::SpawnOptions options;
  options.ownProcessGroup = true;  // a script's children end with it
  auto pid = posix::Spawn(argv, options);
  if (!pid) return LaunchResult::NotStarted;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  if (posix::WaitUntil(*pid, deadline)) return LaunchResult::Ended;
  posix::KillAndReap(*pid, true);
  return LaunchResult::TimedOut;
}

}  // namespace os

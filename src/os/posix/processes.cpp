// Native backend of the process primitives: posix_spawn(p) in a process group
// of the child's own, waitpid with a deadline, the whole group killed.
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "os/posix/spawn.h"
#include "os/process_primitives.h"
#include "unicode/utf8.h"

namespace os::process {

struct Child {
  pid_t pid;
};

void ChildRelease::operator()(Child* child) const noexcept {
  delete child;
}

namespace {

ChildPtr SpawnInOwnGroup(std::vector<std::string> argv, posix::SpawnOptions options) {
  options.ownProcessGroup = true;  // what it starts ends with it
  auto pid = posix::Spawn(argv, options);
  if (!pid) return {};
  return ChildPtr(new Child{*pid});
}

// Words separated by spaces, empty ones dropped; no quoting, which the
// program's fixed commands never need.
std::vector<std::string> SplitOnSpaces(const std::wstring& text) {
  std::string utf8 = unicode::EncodeUtf8(text);
  std::vector<std::string> words;
  std::size_t begin = 0;
  while (begin < utf8.size()) {
    std::size_t end = utf8.find(' ', begin);
    if (end == std::string::npos) end = utf8.size();
    if (end > begin) words.push_back(utf8.substr(begin, end - begin));
    begin = end + 1;
  }
  return words;
}

}  // namespace

// The host has no system directory of the platform's kind: the program is
// looked up on PATH, where the demo and the tests put their stand-ins.
ChildPtr StartSystemProgram(const std::wstring& program, const std::wstring& arguments) {
  posix::SpawnOptions options;
  options.searchPath = true;
  // Like a console command on Windows, its messages reach whoever watches.
  options.stdoutFd = STDOUT_FILENO;
  options.stderrFd = STDERR_FILENO;
  return SpawnInOwnGroup(SplitOnSpaces(program + L" " + arguments), options);
}

bool WaitForExit(Child& child, unsigned timeoutMilliseconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  return posix::WaitUntil(child.pid, deadline).has_value();
}

void Kill(Child& child) {
  posix::KillAndReap(child.pid, true);
}

}  // namespace os::process

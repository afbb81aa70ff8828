#pragma once
// Native backend only: starting a child with posix_spawn, waiting for it with
// a deadline, ending it. Shared by the processes and services backends.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace os::posix {

struct SpawnOptions {
  bool searchPath = false;       // look argv[0] up on PATH
  bool ownProcessGroup = false;  // so the whole tree can be ended at once
  int stdoutFd = -1;             // -1: /dev/null
  int stderrFd = -1;             // -1: /dev/null
};

// The child's pid, or nothing when it could not be started. Standard input is
// /dev/null.
std::optional<pid_t> Spawn(const std::vector<std::string>& argv, const SpawnOptions& options);

// The child's wait status once it has ended before `deadline` (-1 when it can no
// longer be waited for); nothing when it is still running (it is not ended).
std::optional<int> WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline);

// Ends the child (its process group too when it has its own) and reaps it.
void KillAndReap(pid_t pid, bool ownProcessGroup);

// Runs a program found on PATH and collects its standard output. The exit
// status when it ran and ended within `timeout`; nothing otherwise (a child
// still running at the deadline is ended).
std::optional<int> RunCapturingOutput(const std::vector<std::string>& argv,
                                      std::chrono::milliseconds timeout, std::string& output);

}  // namespace os::posix

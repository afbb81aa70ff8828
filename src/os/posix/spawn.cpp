// Native backend: posix_spawn, waitpid with a deadline, kill.
#include "os/posix/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "os/posix/unique_fd.h"

extern char** environ;

namespace os::posix {
namespace {

using Clock = std::chrono::steady_clock;

class FileActions {
 public:
  FileActions() { m_ok = posix_spawn_file_actions_init(&m_actions) == 0; }
  ~FileActions() {
    if (m_ok) posix_spawn_file_actions_destroy(&m_actions);
  }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  bool IsValid() const { return m_ok; }
  posix_spawn_file_actions_t* Get() { return &m_actions; }

 private:
  posix_spawn_file_actions_t m_actions;
  bool m_ok;
};

class Attributes {
 public:
  Attributes() { m_ok = posix_spawnattr_init(&m_attr) == 0; }
  ~Attributes() {
    if (m_ok) posix_spawnattr_destroy(&m_attr);
  }
  Attributes(const Attributes&) = delete;
  Attributes& operator=(const Attributes&) = delete;
  bool IsValid() const { return m_ok; }
  posix_spawnattr_t* Get() { return &m_attr; }

 private:
  posix_spawnattr_t m_attr;
  bool m_ok;
};

}  // namespace

std::optional<pid_t> Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
  if (argv.empty() || argv[0].empty()) return std::nullopt;
  FileActions actions;
  Attributes attributes;
  if (!actions.IsValid() || !attributes.IsValid()) return std::nullopt;
  posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
  for (auto [target, fd] : {std::pair{1, options.stdoutFd}, std::pair{2, options.stderrFd}}) {
    if (fd >= 0) {
      posix_spawn_file_actions_adddup2(actions.Get(), fd, target);
    } else {
      posix_spawn_file_actions_addopen(actions.Get(), target, "/dev/null", O_WRONLY, 0);
    }
  }

  // The child starts with a clean signal state whatever the caller ignores.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD}) {
    sigaddset(&defaults, signal);
  }
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (options.ownProcessGroup) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(attributes.Get(), 0);
  }
  posix_spawnattr_setsigmask(attributes.Get(), &none);
  posix_spawnattr_setsigdefault(attributes.Get(), &defaults);
  posix_spawnattr_setflags(attributes.Get(), flags);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int error =
      options.searchPath
          ? posix_spawnp(&pid, args[0], actions.Get(), attributes.Get(), args.data(), environ)
          : posix_spawn(&pid, args[0], actions.Get(), attributes.Get(), args.data(), environ);
  if (error != 0 || pid <= 0) {
    // posix_spawn returns its error rather than setting errno; the caller's
    // cause line reads errno.
    errno = error != 0 ? error : ECHILD;
    return std::nullopt;
  }
  return pid;
}

std::optional<int> WaitUntil(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) return -1;  // not our child any more
    Clock::time_point now = Clock::now();
    if (now >= deadline) return std::nullopt;
    std::this_thread::sleep_for(
        std::min<Clock::duration>(std::chrono::milliseconds(10), deadline - now));
  }
}

void KillAndReap(pid_t pid, bool ownProcessGroup) {
  if (ownProcessGroup) kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

std::optional<int> RunCapturingOutput(const std::vector<std::string>& argv,
                                      std::chrono::milliseconds timeout, std::string& output) {
  output.clear();
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);
  SpawnOptions options;
  options.searchPath = true;
  options.ownProcessGroup = true;
  options.stdoutFd = writeEnd.Get();
  std::optional<pid_t> pid = Spawn(argv, options);
  writeEnd.Reset();  // so the read ends when the child's copy closes
  if (!pid) return std::nullopt;

  Clock::time_point deadline = Clock::now() + timeout;
  char buffer[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      KillAndReap(*pid, true);
      return std::nullopt;
    }
    pollfd entry{readEnd.Get(), POLLIN, 0};
    int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    ssize_t n = read(readEnd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  std::optional<int> status = WaitUntil(*pid, deadline);
  if (!status) {
    KillAndReap(*pid, true);
    return std::nullopt;
  }
  return status;
}

}  // namespace os::posix

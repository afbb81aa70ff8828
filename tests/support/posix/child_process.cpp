// POSIX test helper: child processes through posix_spawn and wait4.
#include "support/posix/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace testing_support {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env,
                           const std::filesystem::path& outputDir) {
  static int serial = 0;
  ++serial;
  m_out = outputDir / ("child-" + std::to_string(serial) + ".out");
  m_err = outputDir / ("child-" + std::to_string(serial) + ".err");

  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* eq = std::strchr(*entry, '=');
    if (eq != nullptr) merged[std::string(static_cast<const char*>(*entry), eq)] = eq + 1;
  }
  for (const auto& [key, value] : env) merged[key] = value;
  std::vector<std::string> envStrings;
  for (const auto& [key, value] : merged) envStrings.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& s : args) argp.push_back(s.data());
  argp.push_back(nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  m_started = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[0]);
  m_input = pipeFds[1];
}

ChildProcess::~ChildProcess() {
  Kill();
  CloseInput();
}

void ChildProcess::WriteInput(const std::string& bytes) {
  if (m_input >= 0) (void)!write(m_input, bytes.data(), bytes.size());
}

void ChildProcess::CloseInput() {
  if (m_input >= 0) close(m_input);
  m_input = -1;
}

bool ChildProcess::Reap(bool block) {
  if (m_status) return true;
  if (m_pid <= 0) return false;
  int status = 0;
  rusage ru{};
  pid_t reaped;
  do {
    reaped = wait4(m_pid, &status, block ? 0 : WNOHANG, &ru);
  } while (reaped < 0 && errno == EINTR);
  if (reaped != m_pid) return false;
  m_status = status;
  m_usage.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
  m_usage.cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  m_usage.peakKiB = ru.ru_maxrss;
  return true;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Reap(false) && m_pid > 0) {
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return m_status;
}

std::optional<int> ChildProcess::Wait() {
  Reap(true);
  return m_status;
}

bool ChildProcess::Running() {
  return m_pid > 0 && !Reap(false);
}

void ChildProcess::Terminate() {
  if (Running()) kill(m_pid, SIGTERM);
}

void ChildProcess::Kill() {
  if (!Running()) return;
  kill(m_pid, SIGKILL);
  Wait(std::chrono::seconds(10));
}

std::string ChildProcess::Stdout() const {
  return ReadFile(m_out);
}
std::string ChildProcess::Stderr() const {
  return ReadFile(m_err);
}

bool ChildProcess::WaitForOutput(const std::string& needle,
                                 std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Stdout().find(needle) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

int ExitCode(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace testing_support

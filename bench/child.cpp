#include "child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace bench {

Child::Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
             const std::string& stdoutPath) {
  std::map<std::string, std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq != nullptr) merged[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [name, value] : env) merged[name] = value;
  std::vector<std::string> envText;
  for (const auto& [name, value] : merged) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1,
                                   stdoutPath.empty() ? "/dev/null" : stdoutPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  m_started = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
}

Child::~Child() {
  if (Running()) {
    Terminate();
    Wait();
  }
}

bool Child::Running() {
  if (m_pid <= 0 || m_usage) return false;
  siginfo_t info{};
  // WNOWAIT leaves an ended child for Wait to collect with its usage.
  if (waitid(P_PID, m_pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

void Child::Terminate() {
  if (m_pid > 0 && !m_usage) kill(m_pid, SIGTERM);
}

Usage Child::Wait() {
  if (m_usage) return *m_usage;
  Usage usage;
  if (m_pid <= 0) return usage;
  int status = 0;
  rusage ru{};
  while (wait4(m_pid, &status, 0, &ru) < 0 && errno == EINTR) {
  }
  usage.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
  usage.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  usage.cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  usage.peakKiB = ru.ru_maxrss;
  m_usage = usage;
  return usage;
}

Usage Run(const std::vector<std::string>& argv, const std::string& scratchDir) {
  const std::string peakFile = scratchDir + "/peak-kib";
  std::vector<std::string> wrapped{WARDKEEP_BENCH_PEAK, peakFile};
  wrapped.insert(wrapped.end(), argv.begin(), argv.end());
  Child child(wrapped, {});
  Usage usage = child.Wait();
  std::ifstream in(peakFile);
  usage.peakKiB = -1;
  in >> usage.peakKiB;
  std::remove(peakFile.c_str());
  return usage;
}

long ProcStatusKiB(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    std::istringstream in(line.substr(field.size() + 1));
    long kib = -1;
    in >> kib;
    return kib;
  }
  return -1;
}

double ProcCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold spaces; the fields after it do not.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  long utime = -1;
  long stime = -1;
  for (int index = 3; fields >> field && index <= 15; ++index) {
    if (index == 14) utime = std::stol(field);
    if (index == 15) stime = std::stol(field);
  }
  if (utime < 0 || stime < 0) return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace bench

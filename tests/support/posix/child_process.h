#pragma once
// A real child process for tests: its own environment additions, standard
// input from a pipe the test writes, standard output and error into files.

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::filesystem::path& outputDir);
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  void WriteInput(const std::string& bytes);
  void CloseInput();
  // The exit status once the child has ended within `timeout`.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  bool Running();
  void Kill();
  std::string Stdout() const;
  std::string Stderr() const;
  // Waits until standard output holds `needle`.
  bool WaitForOutput(const std::string& needle, std::chrono::milliseconds timeout) const;

 private:
  int m_pid = -1;
  int m_input = -1;
  std::optional<int> m_status;
  std::filesystem::path m_out;
  std::filesystem::path m_err;
};

}  // namespace testing_support

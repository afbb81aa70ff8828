#pragma once
// The native stand-in on the production ports (2405 platform, 2406 update),
// started from a Windows test under Wine for the test's scope. The real
// program cannot be pointed elsewhere, so only suites that hold the fixed
// ports may use it. Its command line and its announcement are the native
// launcher's; only the starting (through the host shell) is Wine's own.

#include <string>
#include <vector>

namespace testing_support::win32 {

class StandinSession {
 public:
  // `options`: the stand-in's options, as the native launcher takes them.
  StandinSession(const std::string& standinPath, const std::vector<std::string>& options);
  // Stops it and waits until the ports are free again.
  ~StandinSession();
  StandinSession(const StandinSession&) = delete;
  StandinSession& operator=(const StandinSession&) = delete;

  // Both ports listen. Empty when it runs; otherwise why not.
  const std::string& Error() const { return m_error; }

  // POST /control with a JSON object; true on status 200.
  bool Control(const std::string& json) const;

  // Health reports it has answered so far; -1 when it cannot tell.
  static int HealthHits();

  static bool PortAnswers(int port);

 private:
  std::string m_files;  // host path of its pid and output files, without the suffix
  std::string m_error;
};

}  // namespace testing_support::win32

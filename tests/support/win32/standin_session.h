#pragma once
// The native stand-in on the production ports (2405 platform, 2406 update),
// started from a Windows test under Wine for the test's scope. The real
// program cannot be pointed elsewhere, so only suites that hold the fixed
// ports may use it.

#include <string>

namespace testing_support::win32 {

class StandinSession {
 public:
  // `arguments`: stand-in options, already quoted for the host shell. With
  // `updateOverTls` (the stand-in's --tls) only the platform port is asked
  // whether it answers: this helper speaks plain HTTP.
  StandinSession(const std::string& standinPath, const std::string& arguments,
                 bool updateOverTls = false);
  // Stops it and waits until the ports are free again.
  ~StandinSession();
  StandinSession(const StandinSession&) = delete;
  StandinSession& operator=(const StandinSession&) = delete;

  // Both ports answer. Empty when it runs; otherwise why not.
  const std::string& Error() const { return m_error; }

  // POST /control with a JSON object; true on status 200.
  bool Control(const std::string& json) const;

  static bool PortAnswers(int port);

 private:
  std::string m_pidFile;  // host path
  std::string m_error;
};

}  // namespace testing_support::win32

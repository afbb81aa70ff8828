#pragma once
// The stand-in as a real process, switched through its control calls (on the
// platform port, which is always plain HTTP). The one way tests and
// benchmarks start it natively.

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "support/posix/child_process.h"
#include "support/standin_command.h"
#include "support/temp_dir.h"

namespace testing_support {

class StandinProcess {
 public:
  // `program` is the stand-in's executable; `options` are added to its
  // command line (--tls DIR and the like). Returns once it has announced its
  // ports, has ended, or has had long enough.
  StandinProcess(const std::string& program, const std::vector<std::string>& options,
                 StandinPorts ports = StandinPorts::Free);

  bool Ready() const { return m_address.updatePort > 0; }
  int PlatformPort() const { return m_address.platformPort; }
  int UpdatePort() const { return m_address.updatePort; }
  std::string PlatformUrl() const;
  std::string UpdateUrl() const;
  std::string JarUrl() const;
  // Why it is not ready, in its own words.
  std::string Stderr() const { return m_process->Stderr(); }

  // A control call with a form body; true when it was applied.
  bool Control(const std::string& path, const std::string& form) const;
  Json::Value GetJson(const std::string& path) const;
  // The whole JAR as served now, in one request.
  std::string Jar() const;
  // Its working directory, for files it makes.
  const TempDir& Dir() const { return m_dir; }

 private:
  TempDir m_dir;
  std::unique_ptr<ChildProcess> m_process;
  StandinAddress m_address;
};

}  // namespace testing_support

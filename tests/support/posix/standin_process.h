#pragma once
// The stand-in as a real process on ports the system picks, switched through
// its control calls (on the platform port, which is always plain HTTP).

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "support/posix/child_process.h"
#include "support/temp_dir.h"

namespace testing_support {

class StandinProcess {
 public:
  // `program` is the stand-in's executable; `options` are added to its
  // command line.
  StandinProcess(const std::string& program, const std::vector<std::string>& options);

  bool Ready() const { return m_updatePort > 0; }
  int UpdatePort() const { return m_updatePort; }
  std::string PlatformUrl() const;
  std::string UpdateUrl() const;
  std::string JarUrl() const;

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
  int m_platformPort = 0;
  int m_updatePort = 0;
};

}  // namespace testing_support

#pragma once
// The stand-in services as a child process on ports the system picks, with
// their control calls (on the platform port, which is always plain HTTP).

#include <json/value.h>

#include <memory>
#include <string>
#include <vector>

#include "support/posix/child_process.h"
#include "support/temp_dir.h"

namespace testing_support {

class StandinProcess {
 public:
  // `program` with `options` besides the free ports and --quiet. Ready() once
  // it has announced its ports.
  StandinProcess(const std::string& program, const std::vector<std::string>& options);

  bool Ready() const { return m_updatePort > 0; }
  int UpdatePort() const { return m_updatePort; }
  std::string PlatformUrl() const { return "http://127.0.0.1:" + std::to_string(m_platformPort); }
  // Its working directory, for files it makes.
  const TempDir& Dir() const { return m_dir; }

  // POSTs a form to a control path; true on 200.
  bool Control(const std::string& path, const std::string& form) const;
  Json::Value GetJson(const std::string& path) const;

 private:
  TempDir m_dir;
  std::unique_ptr<ChildProcess> m_process;
  int m_platformPort = 0;
  int m_updatePort = 0;
};

}  // namespace testing_support

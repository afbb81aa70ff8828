#pragma once
// The stand-in services as a child process, and its control calls.

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "child.h"

namespace bench {

class Standin {
 public:
  // Started with `args` (add "--platform-port 0 --update-port 0" for free
  // ports); Ready() once it has announced both ports.
  explicit Standin(const std::vector<std::string>& args, const std::string& workDir);
  ~Standin();

  bool Ready() const { return m_updatePort > 0; }
  std::string PlatformUrl() const { return Url(m_platformPort); }
  std::string UpdateUrl() const { return Url(m_updatePort); }
  std::string JarUrl() const { return UpdateUrl() + "/files/stock-relay.jar"; }

  // POSTs a form to a control path; true on 200.
  bool Control(const std::string& path, const std::string& form) const;
  Json::Value GetJson(const std::string& path) const;

 private:
  static std::string Url(int port) { return "http://127.0.0.1:" + std::to_string(port); }

  std::string m_announced;
  std::unique_ptr<Child> m_process;
  int m_platformPort = 0;
  int m_updatePort = 0;
};

}  // namespace bench

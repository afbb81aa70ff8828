#pragma once
// An independent static file server for the throughput figures: Debian's
// nginx, serving one directory on a free loopback port with sendfile, so the
// server costs little CPU and the client is what is measured.

#include <memory>
#include <string>

#include "support/posix/child_process.h"

namespace bench {

class StaticServer {
 public:
  // Serves `root`; its configuration and logs go to `workDir`.
  StaticServer(const std::string& root, const std::string& workDir);

  // False when nginx is not installed or did not start.
  bool Ready() const { return m_port > 0; }
  std::string Url(const std::string& file) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + file;
  }
  static const char* Name() { return "nginx"; }

 private:
  std::unique_ptr<testing_support::ChildProcess> m_process;
  int m_port = 0;
};

}  // namespace bench

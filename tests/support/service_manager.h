#pragma once
// A service manager the OS suite can reach on either target: the platform's
// own on Windows, natively a stand-in systemctl first on PATH while the object
// lives (a build host has no system manager to ask).

#include <memory>

namespace testing_support {

class ReachableServiceManager {
 public:
  ReachableServiceManager();
  ~ReachableServiceManager();
  ReachableServiceManager(const ReachableServiceManager&) = delete;
  ReachableServiceManager& operator=(const ReachableServiceManager&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace testing_support

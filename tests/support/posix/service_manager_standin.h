#pragma once
// A stand-in `systemctl` for tests: a shell script first on PATH that logs
// every call and answers from one state file per unit.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace testing_support {

class ServiceManagerStandin {
 public:
  ServiceManagerStandin();

  // Unit states: "active", "inactive", "activating", "failed"; "refuse" is an
  // inactive unit whose start fails; "broken" one whose state cannot be shown;
  // "slow" an inactive unit whose start takes a minute unless only queued
  // (--no-block), after which it is "activating". A unit never set does not
  // exist. Any other started unit becomes "active".
  void SetUnit(const std::string& service, const std::string& state);
  std::string UnitState(const std::string& service) const;
  // The unit reports CanStart=no and CanStop=no (manual start and stop
  // refused in its unit file); units answer "yes" otherwise.
  void RefuseStartAndStop(const std::string& service);
  // Every call fails as systemctl does without a bus.
  void CutBus();

  struct Call {
    long long nanoseconds;  // wall clock when it was made
    std::string line;       // program and arguments, e.g. "systemctl start -- x.service"
  };
  // Every logged call, in order (other tools may log into the same file).
  std::vector<Call> Calls() const;
  std::vector<std::string> Lines() const;
  // The services a start was asked for, in order.
  std::vector<std::string> Starts() const;
  std::filesystem::path LogFile() const { return m_dir / "calls.log"; }
  // One file per unit holding its state; other stand-ins (a "net") may write it.
  std::filesystem::path UnitFile(const std::string& service) const {
    return m_dir / "units" / service;
  }

 private:
  TempDir m_dir;
  std::optional<ScopedEnv> m_path;
};

}  // namespace testing_support

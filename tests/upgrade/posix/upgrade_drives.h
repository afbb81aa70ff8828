#pragma once
// Scratch drives D: and C: for the upgrade suites, a stand-in "net" first on
// PATH that appends its arguments to a log and stops or starts the unit in the
// stand-in service manager, which starts with "stock-relay" running; a machine
// values directory of their own. Restores the environment after.

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/posix/service_manager_standin.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace upgrade_test {

namespace fs = std::filesystem;

class UpgradeDrives {
 public:
  UpgradeDrives()
      : m_d("WARDKEEP_DRIVE_D", (m_root / "d").string()),
        m_c("WARDKEEP_DRIVE_C", (m_root / "c").string()),
        m_path("PATH", (m_root / "bin").string() + ":" + CurrentPath()),
        m_stateDir("WARDKEEP_STATE_DIR", (m_root / "state").string()) {
    fs::create_directories(m_root / "d");
    fs::create_directories(m_root / "c");
    fs::create_directories(m_root / "bin");
    WriteNet(LogNet() + ServeNet());
    services.SetUnit("stock-relay", "active");
  }

  // The stand-in's parts: log the call; stop or start the unit ("refuse" and
  // "broken" units do not start, as "net start" fails on them).
  std::string LogNet() const { return "echo \"$*\" >> '" + NetLog().string() + "'\n"; }
  std::string ServeNet() const {
    const std::string units = services.UnitFile("").string();
    return "unit='" + units +
           "'$2\n"
           "case \"$1\" in\n"
           "  stop) echo inactive > \"$unit\" ;;\n"
           "  start) case \"$(cat \"$unit\" 2>/dev/null)\" in refuse|broken|'') exit 2 ;; esac\n"
           "         echo active > \"$unit\" ;;\n"
           "esac\n";
  }

  fs::path D() const { return m_root / "d"; }
  fs::path C() const { return m_root / "c"; }
  fs::path NetLog() const { return m_root / "net.log"; }
  // Where the machine values live (made by the first write).
  fs::path StateDir() const { return m_root / "state"; }
  std::string NetCalls() const {
    return fs::exists(NetLog()) ? testing_support::ReadFile(NetLog()) : std::string();
  }

  // Replaces the stand-in's script body.
  void WriteNet(const std::string& body) const {
    fs::path net = m_root / "bin" / "net";
    testing_support::WriteFile(net, "#!/bin/sh\n" + body);
    chmod(net.c_str(), 0755);
  }
  void RemoveNet() const { fs::remove(m_root / "bin" / "net"); }

 private:
  static std::string CurrentPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "/usr/bin:/bin";
  }

  testing_support::TempDir m_root;
  testing_support::ScopedEnv m_d;
  testing_support::ScopedEnv m_c;
  testing_support::ScopedEnv m_path;
  // The machine values (the installed version) of these drives' machine.
  testing_support::ScopedEnv m_stateDir;

 public:
  // After m_path: first on PATH, and its PATH is restored before m_path's.
  testing_support::ServiceManagerStandin services;
};

}  // namespace upgrade_test

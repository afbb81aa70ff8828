#pragma once
// An installation on the prefix's D: drive as the update run finds it: the
// installed JAR in D:\orv\stock-relay\app and its "stock-relay" service running.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "os/folder.h"
#include "support/temp_dir.h"
#include "support/win32/administrators_owner.h"
#include "support/win32/prefix_drive.h"
#include "support/win32/test_service.h"
#include "support/zip_builder.h"

namespace testing_support::win32 {

class UploadInstallation {
 public:
  explicit UploadInstallation(const std::wstring& serviceProgram)
      : m_service(L"stock-relay", serviceProgram) {
    if (!m_drive.Error().empty()) return;
    std::filesystem::create_directories(installed.parent_path());
    // As an administrator's installer leaves them: the update run counts no
    // other. Wine keeps no owners (every file is the prefix user's): there
    // that user stands in for the administrators, named in the settings of
    // the runs this process makes.
    for (const auto& folder : {root.parent_path(), root, root / L"app"}) {
      if (!GiveToAdministrators(folder)) ownersKept = false;
    }
    if (!ownersKept) {
      os::HeldFolder held;
      held.Open(root.wstring());
      countedOwner = held.OwnerId();
    }
    WriteFile(installed, oldJar);
    if (m_service.Error().empty() && m_service.Start()) m_processBefore = m_service.ProcessId();
  }

  // Empty when the drive, the JAR and the running service are in place.
  std::string Error() const {
    if (!m_drive.Error().empty()) return "drive: " + m_drive.Error();
    if (!m_service.Error().empty()) return "service: " + m_service.Error();
    return m_processBefore == 0 ? "service did not start" : "";
  }

  // The time-stamped backup directories made so far.
  std::vector<std::filesystem::path> Backups() const {
    std::vector<std::filesystem::path> stamps;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root / L"backUp", ignored)) {
      stamps.push_back(entry.path());
    }
    return stamps;
  }

  // Stopped, as an administrator may leave it before an update.
  bool StopService() { return m_service.Stop(); }

  // The service's program now ends at once, whatever JAR is installed.
  bool BreakService() { return m_service.ExitAtOnce(); }

  // Stopped and started again: running, in a new process.
  bool ServiceWasRestarted() const {
    return m_service.WaitForState(SERVICE_RUNNING) && m_service.ProcessId() != m_processBefore;
  }

 private:
  PrefixDrive m_drive{'D'};
  TestService m_service;
  DWORD m_processBefore = 0;

 public:
  // False where the system keeps no file owners (Wine).
  bool ownersKept = true;
  // What an update run's settings must count as an owner to find this
  // installation: empty where the administrators own it.
  std::wstring countedOwner;
  const std::filesystem::path root = m_drive.Root() / L"orv" / L"stock-relay";
  const std::filesystem::path installed = root / L"app" / L"stock-relay.jar";
  const std::string oldJar = OldJar();

  // The JAR every installation starts with.
  static std::string OldJar() { return SampleJar(20000, 11); }
};

}  // namespace testing_support::win32

#pragma once
// Installs a downloaded JAR of the upload service: time-stamped backup of the
// installed one, service stop, replacement, service start, one progress line a
// step.

#include <string>

#include "installation/layout.h"
#include "os/files.h"
#include "os/machine.h"

namespace upgrade {

// Pins `installRoot` (refused when a folder is a link or not the
// administrators'), copies `newJarPath` into the application folder and
// installs that copy. 1 when the backup directory or its time-stamped
// sub-directory cannot be made (nothing else is done then); 0 otherwise, whatever the copies and
// service commands gave. `installRoot` has no trailing backslash. `signature`
// is the offer's signature of the JAR (Base64), needed when a signing key is
// built in.
int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot,
               const std::string& signature = {});

// As UpgradeJar, for the JAR the update run downloaded straight into `staged`
// (StagedName() inside the held application folder): its bytes are forced to
// disk and checked there, and only they are moved over the installed JAR.
int UpgradeStagedJar(const installation::PinnedInstallation& pinned, os::StagedFile& staged,
                     const std::string& signature);

// "2024-03-05_14-07-09".
std::wstring FormatBackupTimeStamp(const os::LocalTime& time);

}  // namespace upgrade

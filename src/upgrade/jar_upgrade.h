#pragma once
// Installs a downloaded JAR of the upload service: time-stamped backup of the
// installed one, service stop, replacement, service start, one progress line a
// step.

#include <string>

#include "installation/layout.h"
#include "os/files.h"
#include "os/machine.h"
#include "update/offer_signature.h"

namespace upgrade {

// Pins `installRoot` (refused when a folder is a link or not the
// administrators'), copies `newJarPath` into the application folder and
// installs that copy. 1 when the backup directory or its time-stamped
// sub-directory cannot be made (nothing else is done then); 0 otherwise,
// whatever the copies and service commands gave. `installRoot` has no trailing
// backslash. `expected` is what the offer said the JAR is (its known parts are
// held against the copy that is installed). `newJarKept`, when given, is set
// to whether the new JAR stays installed: the service runs it, or the service
// was not running before the update and is not running now.
int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot,
               const update::JarDigest& expected = {}, bool* newJarKept = nullptr);

// As UpgradeJar, for the JAR the update run downloaded straight into `staged`
// (StagedName() inside the held application folder): its bytes are forced to
// disk and checked there, and only they are moved over the installed JAR.
int UpgradeStagedJar(const installation::PinnedInstallation& pinned, os::StagedFile& staged,
                     const update::JarDigest& expected, bool* newJarKept = nullptr);

// "2024-03-05_14-07-09".
std::wstring FormatBackupTimeStamp(const os::LocalTime& time);

}  // namespace upgrade

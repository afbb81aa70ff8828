#pragma once
// Installs a downloaded JAR of the upload service: time-stamped backup of the
// installed one, service stop, replacement, service start, one progress line a
// step.

#include <string>

#include "os/machine.h"
#include "update/offer_signature.h"

namespace upgrade {

// 1 when the backup directory or its time-stamped sub-directory cannot be
// made (nothing else is done then); 0 otherwise, whatever the copies and
// service commands gave. `installRoot` has no trailing backslash. `expected`
// is what the offer said the JAR is (its known parts are held against the
// copy that is installed). `newJarKept`, when given, is set to whether the new
// JAR stays installed: the service runs it, or the service was not running
// before the update and is not running now.
int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot,
               const update::JarDigest& expected = {}, bool* newJarKept = nullptr);

// "2024-03-05_14-07-09".
std::wstring FormatBackupTimeStamp(const os::LocalTime& time);

}  // namespace upgrade

#pragma once
// Installs a downloaded JAR of the upload service: time-stamped backup of the
// installed one, service stop, replacement, service start, one progress line a
// step.

#include <string>

#include "os/machine.h"

namespace upgrade {

// 1 when the backup directory or its time-stamped sub-directory cannot be
// made (nothing else is done then); 0 otherwise, whatever the copies and
// service commands gave. `installRoot` has no trailing backslash. `signature`
// is the offer's signature of the JAR (Base64), needed when a signing key is
// built in.
int UpgradeJar(const std::wstring& newJarPath, const std::wstring& installRoot,
               const std::string& signature = {});

// "2024-03-05_14-07-09".
std::wstring FormatBackupTimeStamp(const os::LocalTime& time);

}  // namespace upgrade

#pragma once
// Installs a downloaded JAR of the upload service: time-stamped backup of the
// installed one, service stop, replacement, service start, one progress line a
// step.

#include <string>

#include "installation/layout.h"
#include "os/files.h"
#include "os/machine.h"
#include "update/offer_signature.h"
#include "upgrade/upgrade_machine.h"

namespace upgrade {

// How an upgrade ended.
enum class UpgradeEnd {
  BackupFoldersNotMade,  // nothing else was done; the one end without "操作完成。"
  Refused,               // a check said no before the service was touched
  NotReplaced,           // the service did not stop, or the backup or the move failed
  Kept,         // the new JAR stays: the service runs it, or did not run before and does not now
  Unconfirmed,  // replaced, but the service's state after the start cannot be read
  RolledBack,   // it did not run where the old one had: the old one was put back (or tried)
};

// Installs the JAR the update run downloaded straight into `staged`
// (StagedName() inside the held application folder): its bytes are forced to
// disk and checked there (against `expected`, what the offer said the JAR is,
// as far as it is known), and only they are moved over the installed JAR,
// with a time-stamped backup, the service stopped and started, and the old
// JAR put back when the new one does not run where the old one did.
UpgradeEnd UpgradeStagedJar(const installation::PinnedInstallation& pinned, os::StagedFile& staged,
                            const update::JarDigest& expected,
                            UpgradeMachine& machine = RealMachine());

// "2024-03-05_14-07-09".
std::wstring FormatBackupTimeStamp(const os::LocalTime& time);

}  // namespace upgrade

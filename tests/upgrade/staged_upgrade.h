#pragma once
// The upgrade as the update run drives it, from bytes a test hands over: the
// installation pinned, the bytes written into the staged file in "app" as the
// download writes them, then UpgradeStagedJar on the machine given.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "installation/layout.h"
#include "os/folder.h"
#include "unicode/utf8.h"
#include "upgrade/jar_upgrade.h"
#include "upgrade/staging.h"
#include "upgrade/upgrade_machine.h"

namespace upgrade_test {

// None (after a test failure) when the root does not pin or the staged file
// cannot be written: the upgrade itself was not reached.
inline std::optional<upgrade::UpgradeEnd> UpgradeFromBytes(
    const std::wstring& root, const std::string& jar,
    upgrade::UpgradeMachine& machine = upgrade::RealMachine()) {
  // Wine keeps no owners: there the folder's own owner is the one counted.
  os::HeldFolder held;
  if (held.Open(root) != os::FolderOpenResult::Opened) {
    ADD_FAILURE() << "no root to upgrade";
    return std::nullopt;
  }
  installation::Pin pin = installation::PinRoot(root, held.OwnerId());
  if (!pin.installation) {
    ADD_FAILURE() << unicode::EncodeUtf8(installation::DescribePinFault(pin));
    return std::nullopt;
  }
  os::StagedFile staged;
  if (const os::Error error = upgrade::CreateStaged(pin.installation->app, staged)) {
    ADD_FAILURE() << "staging: " << unicode::EncodeUtf8(error.text);
    return std::nullopt;
  }
  if (!staged.Write(jar.data(), jar.size())) {
    ADD_FAILURE() << "staging: not written";
    return std::nullopt;
  }
  return upgrade::UpgradeStagedJar(*pin.installation, staged, {}, machine);
}

}  // namespace upgrade_test

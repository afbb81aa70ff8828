#pragma once
// The once-per-start self-update of the upload service: ask the update server,
// download the offered JAR into the installation's held application folder,
// install it. Every outcome says
// one progress line.

#include "update/update_settings.h"

namespace upgrade {

// With the update server and signing keys the program was built with.
void RunUpdate();
// With `settings`, which every step that asks or trusts anyone is given.
void RunUpdate(const update::UpdateSettings& settings);

}  // namespace upgrade

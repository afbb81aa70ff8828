#pragma once
// The once-per-start self-update of the upload service: ask the update server,
// download the offered JAR into the installation's held application folder,
// install it. Every outcome says
// one progress line.

#include <string>

namespace upgrade {

// True when an update was offered and an installation exists, whatever the
// download and the upgrade then gave; false otherwise. `errorText` receives
// the update check's transport error.
bool RunUpdate(std::string& errorText);

}  // namespace upgrade

#pragma once
// The once-per-start self-update of the upload service: ask the update server,
// download the offered JAR beside the program, install it.

#include <string>

namespace upgrade {

// True when an update was offered and an installation root exists, whatever
// the download and the upgrade then gave; false otherwise. `errorText`
// receives the update check's transport error.
bool RunUpdate(std::string& errorText);

// The running program's directory, without a trailing backslash; empty when
// the platform cannot say.
std::wstring ProgramDirectory();

// Whether the file starts like a ZIP archive, as every JAR does.
bool LooksLikeJar(const std::wstring& path);

}  // namespace upgrade

#pragma once
// The new JAR's file inside the application folder: made there exclusively
// before the download, held from then on, checked through that handle
// (jar_acceptance.h) and the only thing ever moved over the installed JAR.

#include <string>

#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"

namespace upgrade {

// The staged file's name inside the application folder.
std::wstring StagedName();

// Makes `staged` as StagedName() inside the held application folder,
// exclusively, after removing what an interrupted run left there. The cause
// when it cannot.
os::Error CreateStaged(const os::HeldFolder& app, os::StagedFile& staged);

}  // namespace upgrade

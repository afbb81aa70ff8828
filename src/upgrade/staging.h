#pragma once
// The new JAR's verified copy inside the application folder: made there before
// the service is touched, checked through the handle that holds it, and the
// only thing ever moved over the installed JAR.

#include <string>

#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"
#include "update/offer_signature.h"

namespace upgrade {

enum class StagingResult { Staged, NotFlushed, ArchiveRefused, DigestRefused };

struct Staging {
  StagingResult result = StagingResult::NotFlushed;
  std::wstring reason;  // for the refusal's progress line
  std::wstring cause;   // the operating system's, when it said one
};

// The staged file's name inside the application folder.
std::wstring StagedName();

// Makes `staged` as StagedName() inside the held application folder,
// exclusively, after removing what an interrupted run left there. The cause
// when it cannot.
os::Error CreateStaged(const os::HeldFolder& app, os::StagedFile& staged);

// Forces the held bytes to disk and checks on them that they are the file the
// offer described (whatever of `expected` is known) and a whole archive; a
// refused file is discarded.
Staging VerifyStaged(os::StagedFile& staged, const update::JarDigest& expected);

}  // namespace upgrade

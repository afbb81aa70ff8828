#pragma once
// The new JAR's verified copy inside the application folder: made there before
// the service is touched, checked through the handle that holds it, and the
// only thing ever moved over the installed JAR.

#include <string>

#include "os/files.h"
#include "update/offer_signature.h"

namespace upgrade {

enum class StagingResult { Staged, NotCreated, NotCopied, ArchiveRefused, DigestRefused };

struct Staging {
  StagingResult result = StagingResult::NotCreated;
  std::wstring reason;  // for the refusal's progress line
  std::wstring cause;   // the operating system's, when it said one
};

// Copies `download` into `staged` at `stagingPath` (made exclusively), forces it
// to disk, and checks on that copy that it is the file the offer described
// (whatever of `expected` is known) and a whole archive.
Staging StageVerifiedCopy(const std::wstring& download, const std::wstring& stagingPath,
                          const update::JarDigest& expected, os::StagedFile& staged);

}  // namespace upgrade

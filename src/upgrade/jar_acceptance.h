#pragma once
// Whether a JAR may be installed, decided in this one place at two moments:
// the offer before a byte is downloaded (with a signing key built in, signed
// over version, size and SHA-256, and later than the highest version this
// machine has installed, which is kept where only administrators write), then
// the downloaded bytes through the handle that holds them (the size and
// SHA-256 the offer named, a whole archive). The cryptography is update/'s,
// the archive's reading jar_check.h's; which JARs are never installed again is
// known_jars.h's. Also the record of what was installed.

#include <optional>
#include <string>

#include "os/files.h"
#include "update/offer_signature.h"
#include "update/update_check.h"

namespace upgrade {

// The machine value that holds the installed version.
constexpr const wchar_t* kInstalledVersionValue = L"InstalledJarVersion";

// What the JAR must be when the offer is taken; nothing, after one line
// saying why, when it is refused.
std::optional<update::JarDigest> AcceptOffer(const update::UpdateSettings& settings,
                                             const update::UpdateOffer& offer);

enum class StagingResult { Staged, NotFlushed, ArchiveRefused, DigestRefused };

struct Staging {
  StagingResult result = StagingResult::NotFlushed;
  std::wstring reason;  // for the refusal's progress line
  std::wstring cause;   // the operating system's, when it said one
};

// Forces the held bytes to disk and checks on them that they are the file the
// offer described (whatever of `expected` is known) and a whole archive; a
// refused file is discarded.
Staging AcceptStaged(os::StagedFile& staged, const update::JarDigest& expected);

// After the offered JAR stays installed: keeps its version as the installed
// one (with a signing key given; without one nothing is kept). One line.
void RecordInstalledVersion(const update::UpdateSettings& settings,
                            const update::UpdateOffer& offer);

}  // namespace upgrade

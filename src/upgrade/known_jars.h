#pragma once
// JARs that are not installed whatever an offer says: the one installed now
// (installing the same bytes again would only stop and start the service), and
// one that was put back because the service, which ran before, did not run with
// it. The second is kept where only administrators write (os/machine_values.h)
// until an administrator clears it; a different JAR is simply not the same.

#include <string>

#include "installation/layout.h"
#include "update/offer_signature.h"

namespace os {
class ReadOnlyFile;
}

namespace upgrade {

// The machine value that holds the SHA-256 of the JAR last put back.
constexpr const wchar_t* kRolledBackJarValue = L"RolledBackJarSha256";

// The SHA-256 of the bytes `file` reads: `expected`'s, when the offer named
// one (the copy was held against it), else read whole; empty when unreadable.
std::string Sha256Of(const os::ReadOnlyFile& file, const update::JarDigest& expected);

// Whether the JAR with this SHA-256 may replace the one installed in the held
// application folder; when not, after one line saying why.
bool MayInstallJar(const std::string& sha256, const installation::PinnedInstallation& pinned);

// After the JAR with this SHA-256 was found not to run where the old one ran:
// keeps it refused. One line.
void RecordRolledBackJar(const std::string& sha256);

}  // namespace upgrade

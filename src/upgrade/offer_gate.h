#pragma once
// The update run's judgement of an offer before anything is downloaded, and
// its record of what was installed. With a signing key built in, the highest
// version this machine has installed is kept where only administrators write
// (os/machine_values.h), and an offer must be signed and later than it.

#include <optional>

#include "update/offer_signature.h"
#include "update/update_check.h"

namespace upgrade {

// The machine value that holds the installed version.
constexpr const wchar_t* kInstalledVersionValue = L"InstalledJarVersion";

// What the JAR must be when the offer is taken; nothing, after one line
// saying why, when it is refused.
std::optional<update::JarDigest> AcceptOffer(const update::UpdateSettings& settings,
                                             const update::UpdateOffer& offer);

// After the offered JAR stays installed: keeps its version as the installed
// one (with a signing key given; without one nothing is kept). One line.
void RecordInstalledVersion(const update::UpdateSettings& settings,
                            const update::UpdateOffer& offer);

}  // namespace upgrade

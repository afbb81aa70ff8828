#pragma once
// Whom the update run asks and trusts: the update server, the platform
// service that reports the installed version, the authorities that may
// certify the server and the keys an offer must be signed with. The
// program's own are fixed when it is built and read once; nothing changes
// them while it runs.

#include <string>

#include "http/transfer_options.h"

namespace update {

struct UpdateSettings {
  // "http://host:port" or "https://host:port", no path, no trailing slash;
  // empty for a build without an update server. Relative download locations
  // are appended to it as they come.
  std::string serverUrl;
  // The public keys downloaded JARs must be signed with: Base64 of the 32 raw
  // bytes of each Ed25519 key, separated by commas; empty for a build that
  // installs them unsigned.
  std::string signingKeys;
  // The local platform service, asked for the installed version the check
  // sends: "http://host:port", no path. Empty asks nobody, and the check
  // sends the version of an installation that reports none.
  std::string platformUrl = {};
  // Handed to the check and the download. The program's own always leave
  // the certificate to the system's store; a test that serves https with an
  // authority of its own names it here.
  comm::http::TransferOptions transfer = {};
  // Whose installation folders count besides the administrators' (as
  // installation::PinRoot takes it): none in the program's own.
  std::wstring alsoCountedOwner = {};
};

// The settings this program was built with.
UpdateSettings BuiltInUpdateSettings();

}  // namespace update

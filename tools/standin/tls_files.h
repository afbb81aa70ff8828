#pragma once
// A test certificate authority and a server certificate it signed, for serving
// the update server over HTTPS. Nothing here is fit for a real deployment.

#include <string>
#include <vector>

namespace standin {

struct TlsFiles {
  std::string caCertificate;      // <dir>/ca.pem: what a client must trust
  std::string serverCertificate;  // <dir>/server.pem
  std::string serverKey;          // <dir>/server-key.pem
};

// The files in `dir`, made first when any is missing: a new authority and a
// certificate for `hosts` (IP addresses or DNS names). Files that exist are
// used as they are, so a client can keep trusting the same authority.
// False with `error` filled when they cannot be made.
bool PrepareTlsFiles(const std::string& dir, const std::vector<std::string>& hosts, TlsFiles& files,
                     std::string& error);

}  // namespace standin

#pragma once
// OpenSSL is shared by the update checks and, natively, by libcurl. Left to
// itself it reads a configuration file named by OPENSSL_CONF or found in its
// compiled-in folder, and that file may load modules or reach other hosts: any
// user who can plant one would decide how this elevated program verifies
// signatures. Whoever touches OpenSSL first calls this.

namespace comm::http {

// Initialises OpenSSL with its built-in defaults and no configuration file;
// a later request to load one (libcurl makes it) finds the work done. Cheap
// and safe to call again, from any thread.
void UseCryptoWithoutConfiguration();

}  // namespace comm::http

#pragma once
// libcurl's process-wide start-up, shared by every object that owns a handle.

namespace comm::http::curl {

// The first call sets OpenSSL up without a configuration file, then
// initialises libcurl (all features) and arranges the cleanup at process
// exit; later calls, from any thread, do nothing. libcurl would otherwise
// initialise itself lazily inside curl_easy_init, which is neither
// thread-safe nor preceded by the OpenSSL set-up.
void InitialiseProcessWide();

// Base of every owner of a libcurl handle: being the first member to be
// constructed, it runs the start-up before the handle is created.
class Initialised {
 protected:
  Initialised() { InitialiseProcessWide(); }
};

}  // namespace comm::http::curl

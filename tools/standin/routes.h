#pragma once
// The request handlers of each service the stand-in plays.

#include <string>

namespace httplib {
class Server;
}

namespace standin {

class State;
class PrivateKey;
class JarSigner;

inline constexpr const char* kUpdatePath = "/api/updateVersion/checkTallyxSDKVersion";
inline constexpr const char* kJarPath = "/files/stock-relay.jar";

void AddPlatformRoutes(httplib::Server& server, State& state);
void AddUpdateRoutes(httplib::Server& server, State& state, const PrivateKey& key,
                     JarSigner& signer);
void AddDownloadRoutes(httplib::Server& server, State& state);
void AddControlRoutes(httplib::Server& server, State& state);

// A note a handler leaves for the request's log line (same thread).
void SetLogNote(std::string note);
std::string TakeLogNote();

}  // namespace standin

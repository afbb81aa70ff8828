#pragma once
// Empties the installation's Redis cache with its own command-line client.

namespace host {

// The client the installation ships; the flush runs only when it exists.
constexpr const wchar_t* kRedisClientPath = L"D:\\orv\\stock-relay\\redis\\redis-cli.exe";

// Runs the client hidden and waits for it to end.
void FlushRedisCache();

}  // namespace host

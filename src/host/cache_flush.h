#pragma once
// Empties the installation's Redis cache with its own command-line client.

#include <string>

namespace host {

// The client that the installation found on this machine ships; empty when
// there is no installation. The flush runs only when this file exists.
std::wstring RedisClientPath();

// Runs `client` hidden against the installation's Redis port and waits for it
// to end, for a bounded time; nothing when `client` is empty or no such file.
void FlushRedisCache(const std::wstring& client);

}  // namespace host

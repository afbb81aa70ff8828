#include "host/cache_flush.h"

#include "host/tunables.h"
#include "installation/layout.h"
#include "os/files.h"
#include "os/processes.h"

namespace host {

std::wstring RedisClientPath() {
  // The client of the installation that is really here, never a fixed D:
  // path: with the installation on C:, whatever lies on D: is someone else's.
  const auto layout = installation::FindInstallation();
  return layout ? layout->RedisClient() : std::wstring();
}

void FlushRedisCache(const std::wstring& client) {
  if (client.empty() || !os::PathExists(client)) return;
  // Bounded: a client that never ends must not hold the window; whatever the
  // outcome, the services come next.
  os::LaunchHiddenAndWait(client, std::wstring(L"-p ") + installation::kRedisPort + L" flushall",
                          tunable::WholeMilliseconds(tunables::redisFlushTimeLimit.Get()));
}

}  // namespace host

#include "host/cache_flush.h"

#include "host/tunables.h"
#include "os/processes.h"

void FlushRedisCache() {
  // Bounded: a client that never ends must not hold the window; whatever the
  // outcome, the services come next.
  os::LaunchHiddenAndWait(host::kRedisClientPath, L"-p 16380 flushall",
                          WholeMilliseconds(host::tunables::redisFlushTimeLimit.Get()));
}

#include "host/cache_flush.h"

#include "host/tunables.h"
#include "os/processes.h"

namespace host {

void FlushRedisCache() {
  // Bounded: a client that never ends must not hold the window; whatever the
  // outcome, the services come next.
  os::LaunchHiddenAndWait(kRedisClientPath, L"-p 16380 flushall",
                          WholeMilliseconds(tunables::redisFlushTimeLimit.Get()));
}

}  // namespace host

// Native backend of the process's rights: the superuser may control services.
#include <unistd.h>

#include "os/session.h"

namespace os {

ProcessRights CurrentProcessRights() {
  return ::geteuid() == 0 ? ProcessRights::Full : ProcessRights::Standard;
}

}  // namespace os

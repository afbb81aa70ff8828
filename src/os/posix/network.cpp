// Native backend of the network service: setsockopt on the descriptor.
#include "os/network.h"

#include <sys/socket.h>

namespace os {

bool SetReceiveBufferSize(std::uintptr_t socket, int bytes) {
  return ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

}  // namespace os

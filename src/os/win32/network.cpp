// Windows backend of the network service: Winsock's setsockopt on the SOCKET.
#include <winsock2.h>

#include "os/network.h"

namespace os {

bool SetReceiveBufferSize(std::uintptr_t socket, int bytes) {
  return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVBUF,
                      reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

}  // namespace os

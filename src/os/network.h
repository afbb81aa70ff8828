#pragma once
// Sockets that libcurl opens, tuned before they connect.

#include <cstdint>

namespace os {

// Asks for a receive buffer of `bytes` on the socket (the platform may grant
// less). False when refused.
bool SetReceiveBufferSize(std::uintptr_t socket, int bytes);

}  // namespace os

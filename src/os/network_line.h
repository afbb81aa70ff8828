#pragma once
// The line exchange's own rules, shared by both socket backends: where the
// answer's line ends and what of it is kept. The backends only move bytes.

#include <cstddef>
#include <string>

#include "os/network.h"

namespace os::network_line {

// Adds `size` received bytes to `line`; true once it holds a whole line, cut
// at its line feed.
bool TakeReceived(std::string& line, const char* data, std::size_t size);

// The answered exchange for what came back: at most kMaxExchangeLine bytes,
// without a carriage return at its end.
LineExchange Answered(std::string line);

}  // namespace os::network_line

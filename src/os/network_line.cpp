#include "os/network_line.h"

#include <utility>

namespace os::network_line {

bool TakeReceived(std::string& line, const char* data, std::size_t size) {
  line.append(data, size);
  const std::size_t end = line.find('\n');
  if (end == std::string::npos) return false;
  line.resize(end);
  return true;
}

LineExchange Answered(std::string line) {
  if (line.size() > kMaxExchangeLine) line.resize(kMaxExchangeLine);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  LineExchange result;
  result.outcome = ExchangeOutcome::Answered;
  result.line = std::move(line);
  return result;
}

}  // namespace os::network_line

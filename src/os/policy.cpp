#include "os/policy.h"

namespace os {

std::optional<std::uint32_t> ParsePolicyNumber(std::wstring_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t number = 0;
  for (wchar_t digit : text) {
    if (digit < L'0' || digit > L'9') return std::nullopt;
    number = number * 10 + static_cast<std::uint64_t>(digit - L'0');
  }
  if (number > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(number);
}

}  // namespace os

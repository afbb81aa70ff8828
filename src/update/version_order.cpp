#include "update/version_order.h"

#include <algorithm>

namespace update {

namespace {

constexpr std::size_t kMaxDigits = 9;

}  // namespace

std::optional<std::vector<unsigned long>> ParseVersion(const std::string& text) {
  std::size_t at = !text.empty() && text[0] == 'v' ? 1 : 0;
  std::vector<unsigned long> numbers;
  for (;;) {
    std::size_t digits = 0;
    unsigned long number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      if (++digits > kMaxDigits) return std::nullopt;
      number = number * 10 + static_cast<unsigned long>(text[at] - '0');
      ++at;
    }
    if (digits == 0) return std::nullopt;
    numbers.push_back(number);
    if (at == text.size()) return numbers;
    if (text[at] != '.') return std::nullopt;
    ++at;
  }
}

bool IsLaterVersion(const std::string& offered, const std::string& installed) {
  const auto a = ParseVersion(offered);
  const auto b = ParseVersion(installed);
  if (!a || !b) return false;
  const std::size_t length = std::max(a->size(), b->size());
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned long x = i < a->size() ? (*a)[i] : 0;
    const unsigned long y = i < b->size() ? (*b)[i] : 0;
    if (x != y) return x > y;
  }
  return false;
}

}  // namespace update

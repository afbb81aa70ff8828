#pragma once
// Which of two package versions is the later one. A version is dot-separated
// decimal numbers after an optional "v" ("2.0.10", "v3.1"); anything else has
// no place in the order.

#include <optional>
#include <string>
#include <vector>

namespace update {

// The numbers of a version, or nothing when the text is not one. Each number
// is at most nine digits, so no comparison ever overflows.
std::optional<std::vector<unsigned long>> ParseVersion(const std::string& text);

// True when `offered` comes after `installed`; missing trailing numbers count
// as zero ("2.0" and "2.0.0" are the same version). False when either text is
// not a version.
bool IsLaterVersion(const std::string& offered, const std::string& installed);

}  // namespace update

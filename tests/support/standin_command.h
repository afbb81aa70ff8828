#pragma once
// How the stand-in is started and how it says it is ready, for every helper
// that starts it: natively on free or fixed ports, and from Wine on the fixed
// ones.

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The production's ports; the real program cannot be pointed elsewhere.
constexpr int kStandinPlatformPort = 2405;
constexpr int kStandinUpdatePort = 2406;

enum class StandinPorts {
  Free,   // the system picks them; for suites that point the code at the stand-in
  Fixed,  // the production's; only one holder at a time
};

// The stand-in's command line: `program`, no per-request log, the ports, then
// `options`.
std::vector<std::string> StandinCommand(const std::string& program, StandinPorts ports,
                                        const std::vector<std::string>& options);

struct StandinAddress {
  int platformPort = 0;
  int updatePort = 0;
};

// The ports from the two lines it prints once both listen; nothing while
// either line is incomplete.
std::optional<StandinAddress> AnnouncedAddress(const std::string& output);

}  // namespace testing_support

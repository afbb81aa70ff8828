// Portable test helper: the stand-in's command line and its announcement.
#include "support/standin_command.h"

#include <regex>

namespace testing_support {

std::vector<std::string> StandinCommand(const std::string& program, StandinPorts ports,
                                        const std::vector<std::string>& options) {
  const bool free = ports == StandinPorts::Free;
  std::vector<std::string> command{
      program,           "--quiet",
      "--platform-port", free ? "0" : std::to_string(kStandinPlatformPort),
      "--update-port",   free ? "0" : std::to_string(kStandinUpdatePort)};
  command.insert(command.end(), options.begin(), options.end());
  return command;
}

std::optional<StandinAddress> AnnouncedAddress(const std::string& output) {
  static const std::regex kPorts(R"(^platform 127\.0\.0\.1:(\d+)\nupdate 127\.0\.0\.1:(\d+)\n)");
  std::smatch match;
  if (!std::regex_search(output, match, kPorts)) return std::nullopt;
  return StandinAddress{std::stoi(match[1]), std::stoi(match[2])};
}

}  // namespace testing_support

#include "upgrade/update_policy.h"

#include <cstdint>
#include <optional>

#include "os/policy.h"

namespace upgrade {

bool UpdatesSwitchedOffByPolicy() {
  const std::optional<std::uint32_t> updates = os::ReadPolicyNumber(L"Updates");
  return updates && *updates == 0;
}

}  // namespace upgrade

#pragma once
// The machine administrator's say over the update run: policy "Updates" = 0
// switches it off (the pin after a manual rollback); absent or any other
// number leaves it on.

namespace upgrade {

bool UpdatesSwitchedOffByPolicy();

}  // namespace upgrade

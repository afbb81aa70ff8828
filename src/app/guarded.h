#pragma once
// The one rule for every handler a front end calls from its message loop.

namespace app {

// The handlers report failures as results; anything thrown all the same stops
// here, before it could unwind through a message loop or a C frame. Returns
// false when the handler threw.
template <typename Handler>
bool Guarded(Handler&& handler) noexcept {
  try {
    handler();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace app

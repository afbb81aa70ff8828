#pragma once
// The console front end's one test-adjustable value.

#include <chrono>

#include "tunable/tunable.h"

namespace ui::console::tunables {

// The longest period a timer runs at: a longer one is cut to it, a shorter
// one is left alone, so a test can go through many health cycles in seconds
// without ever lengthening a timer. The program sets no limit.
inline tunable::Tunable<std::chrono::milliseconds> longestTimer{std::chrono::milliseconds::max()};

}  // namespace ui::console::tunables

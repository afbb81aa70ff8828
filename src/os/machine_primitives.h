#pragma once
// For the machine backends only: the one call that differs in turning the
// clock into the machine's local calendar, over which machine.cpp builds the
// local time once.

#include <ctime>

namespace os::machine {

// `when` in the machine's time zone, as the C library breaks it down.
std::tm LocalCalendar(std::time_t when);

}  // namespace os::machine

// The parts of the machine service both backends share.
#include "os/machine.h"

#include <ctime>

#include "os/machine_primitives.h"

namespace os {

LocalTime CurrentLocalTime() {
  const std::tm parts = machine::LocalCalendar(std::time(nullptr));
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

}  // namespace os

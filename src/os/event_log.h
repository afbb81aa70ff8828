#pragma once
// The system's event log: the Windows Application log under the source
// "Wardkeep", natively syslog(3) under the identity "wardkeep". What is
// written and when is decided above this layer.

#include <string>
#include <vector>

namespace os {

// The event's level; Windows shows it as the event's type.
enum class EventLevel { Information, Warning, Error };

// Writes one event. `id` is the event ID Event Viewer shows (the message
// table in the program's resources holds one entry per ID, with as many
// insertion strings as `lines` has); natively the lines are joined by "; "
// after "[id]". Failures are silent: the event log is an addition to the
// program's own output, never a reason to stop.
void WriteEvent(unsigned id, EventLevel level, const std::vector<std::wstring>& lines);

}  // namespace os

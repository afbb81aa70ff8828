#pragma once
// The system's event log, as the program's events reach it (the Application
// log on Windows, syslog natively), and the facts they tell of the process.

#include <string>
#include <vector>

#include "os/event_log.h"
#include "os/files.h"
#include "os/session.h"

namespace host {

using os::EventLevel;
using os::ProcessRights;

inline void WriteEvent(unsigned id, EventLevel level, const std::vector<std::wstring>& lines) {
  os::WriteEvent(id, level, lines);
}

inline ProcessRights CurrentProcessRights() {
  return os::CurrentProcessRights();
}

}  // namespace host

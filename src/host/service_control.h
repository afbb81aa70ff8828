#pragma once
// Windows-style service status and start, on the platform's service manager.

#include <string>

#include "host/message_box_owner.h"

namespace host {

// True only when the service is running now. Not a plain question: it shows a
// box through `boxOwner` when the service cannot be opened ("OpenSCManager
// Open failed") or asked ("QueryServiceStatusEx failed").
bool IsServiceRunningShowingFailures(const std::wstring& name, MessageBoxOwner& boxOwner);
// True when the service was running, or its start was accepted (after a pause).
// Asks IsServiceRunningShowingFailures first, so its boxes may come again.
bool StartServiceIfStopped(const std::wstring& name, MessageBoxOwner& boxOwner);

}  // namespace host

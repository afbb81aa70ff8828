#pragma once
// Windows-style service status and start, on the platform's service manager.

#include <string>

#include "host/message_box_owner.h"

namespace host {

// True only when the service is running now. Shows a box through `boxOwner`
// when the service cannot be opened or asked.
bool IsServiceRunning(const std::wstring& name, MessageBoxOwner& boxOwner);
// True when the service was running, or its start was accepted (after a pause).
bool StartServiceIfStopped(const std::wstring& name, MessageBoxOwner& boxOwner);

}  // namespace host

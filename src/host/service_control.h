#pragma once
// Windows-style service status and start, on the platform's service manager.

#include <string>

// True only when the service is running now. May show a message box owned by
// the dialog when the service cannot be opened or asked.
bool IsServiceRunning(const std::wstring& name);
// True when the service was running, or its start was accepted (after a pause).
bool StartServiceIfStopped(const std::wstring& name);

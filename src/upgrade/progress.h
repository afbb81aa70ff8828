#pragma once
// The update run's and the upgrade's progress lines on standard output.

#include <string>

namespace upgrade {

// One line; the line feed is added.
void Say(const std::wstring& line);

// The operating system's reason, on a line of its own after the failure's;
// nothing when there is none.
void SayCause(const std::wstring& cause);

}  // namespace upgrade

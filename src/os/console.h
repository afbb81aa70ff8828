#pragma once
// Progress lines on standard output, as UTF-8 bytes on every target.

#include <string>

namespace os {

// Writes the line's UTF-8 form as is and flushes; the text carries its own
// line feed.
void WriteProgressLine(const std::wstring& line);

}  // namespace os

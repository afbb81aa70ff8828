#pragma once
// Conversions between the system's ANSI code page and wide text. Both follow the
// platform's convention: the input is read up to its first NUL, the count
// includes the terminating NUL, a null output (or zero size) only asks for the
// count, and 0 means failure. Characters the target cannot hold are substituted.

namespace os {

int AnsiToWideUnits(const char* ansi, wchar_t* out, int outUnits);
int WideToAnsiBytes(const wchar_t* wide, char* out, int outBytes);

}  // namespace os

#pragma once
// Text that came from the network is UTF-8; the window and paths are wide.

#include <string>

namespace text {

// Strict decoding by the rules of unicode/utf8.h. Throws
// std::range_error("bad conversion") on a stray continuation byte, a bad
// continuation byte, a sequence cut short by the end of the input, or a value
// above U+10FFFF. Overlong forms are accepted.
std::wstring Utf8ToWide(const std::string& utf8);

// The same decoding, but each byte that cannot start or continue a sequence
// becomes U+FFFD instead of failing: for text from outside shown to a person.
std::wstring Utf8ToWideReplacing(const std::string& utf8);

// UTF-8 for wide text; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& wide);

}  // namespace text

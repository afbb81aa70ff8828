#pragma once
// Text that came from the network is UTF-8; the window and paths are wide.

#include <string>

namespace text {

// Decoding by the rules of unicode/utf8.h (overlong forms are accepted); each
// byte that cannot start or continue a sequence becomes U+FFFD: for text from
// outside shown to a person.
std::wstring Utf8ToWideReplacing(const std::string& utf8);

// UTF-8 for wide text; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& wide);

}  // namespace text

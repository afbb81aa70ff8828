#pragma once
// UTF-8 <-> wide text for every layer, the operating-system backends included;
// it depends on nothing but the standard library.
//
// Decoding reads the classic lead-byte forms (up to six bytes) and accepts any
// value up to U+10FFFF, overlong forms and encoded surrogates included. A stray
// or bad continuation byte, a sequence cut short by the end of the input and a
// value above U+10FFFF are malformed. Characters above U+FFFF become a
// surrogate pair where wchar_t is 16 bits and one unit where it is 32.

#include <optional>
#include <string>
#include <string_view>

namespace unicode {

// The whole input, NULs included; nothing when any of it is malformed.
std::optional<std::wstring> DecodeUtf8(std::string_view utf8);

// What a decoder accepts. Lenient is the text layer's long-standing reading
// above. Shortest is standard UTF-8 and is what names from the file system get:
// an overlong form could otherwise smuggle "/" or "." into a path component,
// so overlong and five- or six-byte forms and encoded surrogates are malformed.
enum class Utf8Rules { Lenient, Shortest };

// Whether all of the input decodes under `rules`, without building the text.
bool IsUtf8(std::string_view utf8, Utf8Rules rules);

// The same decoding, but each byte that cannot start or continue a sequence
// becomes U+FFFD and decoding goes on with the next byte.
std::wstring DecodeUtf8Replacing(std::string_view utf8, Utf8Rules rules = Utf8Rules::Lenient);

// Joins surrogate pairs where wchar_t is 16 bits; lone surrogates and values
// above U+10FFFF become U+FFFD.
std::string EncodeUtf8(std::wstring_view wide);

}  // namespace unicode

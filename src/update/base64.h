#pragma once
// Standard Base64 (RFC 4648, section 4) without line breaks.

#include <string>
#include <string_view>

namespace update {

// The character at index i stands for the 6-bit value i.
inline constexpr std::string_view Base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A length of zero or less gives the empty text.
std::string Base64Encode(const unsigned char* bytes, int length);

// Strict decoding: whole groups of four, padding only at the end, no spaces
// or line breaks, and no stray bits in the last character, so each byte
// sequence has exactly one accepted text. False for anything else, and for
// the empty text.
bool Base64Decode(std::string_view text, std::string& bytes);

}  // namespace update

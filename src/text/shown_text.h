#pragma once
// Text from outside made fit to be shown to a person, in the window or on a
// terminal: nothing in it may act instead of being read.

#include <cstddef>
#include <string>

namespace text {

// The longest text from outside shown, in UTF-16 units.
constexpr std::size_t kMaxShownText = 512;

// `raw` without control characters (C0, DEL, C1: a line break or tab becomes
// a space, the rest go) and without the marks that reorder or redirect
// bidirectional text (U+200E, U+200F, U+202A–U+202E, U+2066–U+2069); longer
// than `maxUnits` it is cut there (never inside a surrogate pair) and ends in
// "…".
std::wstring ShownText(const std::wstring& raw, std::size_t maxUnits = kMaxShownText);

}  // namespace text

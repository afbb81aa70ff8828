#include "text/shown_text.h"

namespace text {

namespace {

bool IsControl(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsBidiControl(wchar_t c) {
  return c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsHighSurrogate(wchar_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

std::wstring ShownText(const std::wstring& raw, std::size_t maxUnits) {
  std::wstring shown;
  shown.reserve(raw.size() < maxUnits ? raw.size() : maxUnits);
  for (wchar_t c : raw) {
    if (IsBidiControl(c)) continue;
    if (IsControl(c)) {
      // Words a line break kept apart stay apart.
      if (c == L'\n' || c == L'\r' || c == L'\t') shown += L' ';
      continue;
    }
    shown += c;
  }
  if (shown.size() <= maxUnits) return shown;
  std::size_t cut = maxUnits > 0 ? maxUnits - 1 : 0;  // room for the ellipsis
  if (cut > 0 && IsHighSurrogate(shown[cut - 1])) --cut;
  shown.resize(cut);
  shown += L'…';
  return shown;
}

}  // namespace text

// Windows: the HKCU Run value of that name.
#include "support/autostart_entry.h"

#include "support/win32/run_value.h"
#include "unicode/utf8.h"

namespace testing_support {

std::string AutostartCommand(const std::wstring& entryName) {
  win32::RunValue value = win32::ReadRunValue(entryName);
  if (!value.found) return {};
  std::wstring text = value.data;
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return unicode::EncodeUtf8(text);
}

void RemoveAutostartEntry(const std::wstring& entryName) {
  win32::DeleteRunValue(entryName);
}

}  // namespace testing_support

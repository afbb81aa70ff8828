// Windows backend of the error text: GetLastError and FormatMessageW.
#include "os/errors.h"

#include <windows.h>

namespace os {

Error LastError() {
  const DWORD code = ::GetLastError();
  if (code == ERROR_SUCCESS) return {};
  wchar_t buffer[512] = {};
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, 512, nullptr);
  std::wstring text(buffer, length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  // The number alone when the system has no text for it.
  return {static_cast<long>(code), text + L" (" + std::to_wstring(code) + L")"};
}

void ClearLastError() {
  ::SetLastError(ERROR_SUCCESS);
}

LastErrorKeeper::LastErrorKeeper() : m_code(static_cast<long>(::GetLastError())) {}

LastErrorKeeper::~LastErrorKeeper() {
  ::SetLastError(static_cast<DWORD>(m_code));
}

}  // namespace os

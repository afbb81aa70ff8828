// Windows backend of the session service: named mutexes, the DLL search,
// HKCU Run value, module path, start-up box.
#include "os/session.h"

#include <windows.h>

#include <utility>

#include "os/win32/module_path.h"
#include "os/win32/scoped_handle.h"

namespace os {
namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr WORD kEnglishUnitedStates = 1033;

}  // namespace

void RestrictLibrarySearch() {
  // Looked up, not imported: a Windows 7 without the update that brought it
  // must still start the program.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto setDefault = kernel == nullptr
                        ? nullptr
                        : reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                              ::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it at least the working directory leaves the search.
  ::SetDllDirectoryW(L"");
}

bool AcquireSingleInstance(const std::wstring& name) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return false;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return false;
  }
  // Deliberately never closed: the mutex is the guard for the rest of the process.
  return true;
}

void WriteAutostartEntry(const std::wstring& entryName, const std::wstring& programPath) {
  win32::RegistryKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS ||
      !key) {
    return;
  }
  // Quoted: unquoted, a space in a folder's name makes the log-on try the
  // shorter paths first ("C:\\orv\\ward.exe" for "C:\\orv\\ward keep\\...").
  const std::wstring command = L"\"" + programPath + L"\"";
  // The terminating NUL is part of the stored data.
  auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
  ::RegSetValueExW(key.Get(), entryName.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(command.c_str()), bytes);
}

void RemoveAutostartEntry(const std::wstring& entryName) {
  win32::RegistryKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, key.Receive()) !=
          ERROR_SUCCESS ||
      !key) {
    return;
  }
  ::RegDeleteValueW(key.Get(), entryName.c_str());
}

void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption) {
  ::MessageBoxExW(nullptr, text.c_str(), caption.c_str(), MB_OK, kEnglishUnitedStates);
}

}  // namespace os

namespace os::session {

ProgramPathReading ReadProgramPath() {
  return win32::ReadProgramPathWithin(MAX_PATH);
}

}  // namespace os::session

namespace os::win32 {

session::ProgramPathReading ReadProgramPathWithin(DWORD capacity) {
  if (capacity == 0) return {};
  std::wstring buffer(capacity, L'\0');
  ::SetLastError(ERROR_SUCCESS);
  DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), capacity);
  // A path that does not fit fills the buffer: the call reports
  // ERROR_INSUFFICIENT_BUFFER, or on older systems just the buffer's size.
  bool cut = length >= capacity || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
  buffer.resize(length < capacity ? length : capacity - 1);
  // The caption takes the name from what was read, cut or not.
  std::size_t slash = buffer.find_last_of(L"\\/");
  std::wstring fileName = slash == std::wstring::npos ? buffer : buffer.substr(slash + 1);
  return {buffer, length > 0 && !cut, fileName};
}

}  // namespace os::win32

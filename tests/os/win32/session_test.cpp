// The session backend against the real registry, mutexes and module of Wine
// (or Windows).
#include "os/session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "os/files.h"
#include "os/win32/module_path.h"
#include "support/win32/run_value.h"

namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RegistryValue {
  bool found = false;
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

RegistryValue ReadRunValue(const std::wstring& name) {
  RegistryValue value;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) ==
      ERROR_SUCCESS) {
    value.bytes.resize(size);
    value.found = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.bytes.data(),
                                     &size) == ERROR_SUCCESS;
    value.bytes.resize(size);
  }
  ::RegCloseKey(key);
  return value;
}

// The stored bytes: the characters and one NUL, as UTF-16.
std::vector<BYTE> Utf16WithNul(const std::wstring& text) {
  const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

std::wstring UniqueName(const wchar_t* stem) {
  return stem + std::to_wstring(::GetCurrentProcessId()) + L"_" +
         std::to_wstring(::GetTickCount64());
}

TEST(Win32Autostart, StoresThePathQuotedAsRegSzWithItsNulCounted) {
  const std::wstring name = UniqueName(L"wardkeepTest");
  const std::wstring paths[] = {
      L"C:\\orv\\ward keep\\wardkeep.exe",  // unquoted, log-on would try C:\orv\ward.exe
      L"D:\\价签\\看门狗\\wardkeep.exe",
      L"C:\\w.exe",  // shorter than the last: nothing of it may remain
  };
  for (const std::wstring& path : paths) {
    os::WriteAutostartEntry(name, path);
    RegistryValue value = ReadRunValue(name);
    ASSERT_TRUE(value.found) << "after writing " << path.size() << " characters";
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    const std::wstring quoted = L"\"" + path + L"\"";
    EXPECT_EQ(value.bytes.size(), (quoted.size() + 1) * 2);
    EXPECT_EQ(value.bytes, Utf16WithNul(quoted));
  }
  testing_support::win32::DeleteRunValue(name);
}

// The guard is the platform's named mutex, seen by anyone who opens the name.
TEST(Win32SingleInstance, AnotherOpenerOfTheNameFindsTheMutex) {
  const std::wstring name = UniqueName(L"WARDKEEP_TEST_");
  ASSERT_TRUE(os::AcquireSingleInstance(name));
  HANDLE other = ::CreateMutexW(nullptr, FALSE, name.c_str());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ::CloseHandle(other);
}

// A library beside the program is found by its bare name until the search is
// restricted, and never after.
TEST(Win32Session, RestrictedLibrarySearchSkipsTheProgramsOwnFolder) {
  std::wstring folder = os::OwnProgramPath().value();
  folder.resize(folder.find_last_of(L'\\') + 1);
  const std::wstring before = UniqueName(L"wardkeep-planted-") + L".dll";
  const std::wstring after = UniqueName(L"wardkeep-planted-after-") + L".dll";
  const std::wstring source = std::filesystem::path(WARDKEEP_PLANTED_LIBRARY).wstring();
  ASSERT_TRUE(::CopyFileW(source.c_str(), (folder + before).c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(source.c_str(), (folder + after).c_str(), FALSE));

  HMODULE found = ::LoadLibraryW(before.c_str());
  EXPECT_NE(found, nullptr);  // the plant works
  if (found != nullptr) ::FreeLibrary(found);
  os::RestrictLibrarySearch();
  HMODULE planted = ::LoadLibraryW(after.c_str());
  EXPECT_EQ(planted, nullptr);
  if (planted != nullptr) ::FreeLibrary(planted);
  // The system's own libraries still load.
  HMODULE system = ::LoadLibraryW(L"version.dll");
  EXPECT_NE(system, nullptr);
  if (system != nullptr) ::FreeLibrary(system);

  ::DeleteFileW((folder + before).c_str());
  ::DeleteFileW((folder + after).c_str());
}

TEST(Win32Session, TheOwnPathIsThisProgramsFullPathAndACutOneIsNone) {
  wchar_t expected[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, expected, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::optional<std::wstring> own = os::OwnProgramPath();
  ASSERT_TRUE(own.has_value());
  const std::wstring path = *own;
  EXPECT_EQ(path, std::wstring(expected, length));
  ASSERT_GE(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), L":\\");
  EXPECT_EQ(os::AppTitle(), L"wardkeep_os_win32_tests");  // the boxes' caption

  // A buffer too short for the path, as MAX_PATH is for a deep installation
  // (from which neither Wine nor every Windows starts a program): what was
  // read comes back, marked as cut, however much is missing, and is no path;
  // the caption still takes the name from what was read.
  for (DWORD capacity : {DWORD{1}, DWORD{4}, static_cast<DWORD>(path.size())}) {
    os::session::ProgramPathReading cut = os::win32::ReadProgramPathWithin(capacity);
    EXPECT_FALSE(cut.whole) << capacity;
    EXPECT_EQ(cut.windowsPath, path.substr(0, capacity - 1)) << capacity;
    EXPECT_EQ(os::session::WholeProgramPath(cut), std::nullopt) << capacity;
  }
  os::session::ProgramPathReading fits =
      os::win32::ReadProgramPathWithin(static_cast<DWORD>(path.size() + 1));
  EXPECT_TRUE(fits.whole);
  EXPECT_EQ(fits.windowsPath, path);
  EXPECT_EQ(fits.fileName, L"wardkeep_os_win32_tests.exe");
  EXPECT_EQ(os::session::WholeProgramPath(fits), path);
}

}  // namespace

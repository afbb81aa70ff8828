// Win32 test helper: a drive of the Wine prefix backed by a host directory.
#include "support/win32/prefix_drive.h"

#include <windows.h>

#include <cctype>

#include "support/win32/dialog_probe.h"
#include "support/win32/host_shell.h"

namespace testing_support::win32 {
namespace {

using namespace std::chrono_literals;

std::string Environment(const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? ToUtf8(std::wstring(value, length)) : std::string();
}

// True when Wine names `folder` by exactly that path. A drive table Wine has
// not read afresh names it through Z:, or, when a removed drive folder's inode
// was reused for one of the new folders, names that folder as the drive's root.
bool FinalPathIs(const std::filesystem::path& folder) {
  HANDLE handle = ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length =
      ::GetFinalPathNameByHandleW(handle, buffer, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  ::CloseHandle(handle);
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring path(buffer, length);
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  const std::wstring expected = folder.wstring();
  return ::CompareStringOrdinal(path.c_str(), static_cast<int>(path.size()), expected.c_str(),
                                static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

PrefixDrive::PrefixDrive(char letter)
    : m_letter(static_cast<char>(std::tolower(static_cast<unsigned char>(letter)))) {
  std::string prefix = Environment(L"WINEPREFIX");
  if (prefix.empty()) {
    m_error = "WINEPREFIX is not set";
    return;
  }
  std::string hostDir = "/tmp/wardkeep-win32-drive-" + std::string(1, m_letter) + "-" +
                        std::to_string(::GetCurrentProcessId());
  m_dir = L"Z:" + std::filesystem::path(hostDir).make_preferred().wstring();
  std::error_code error;
  std::filesystem::remove_all(m_dir, error);
  if (!std::filesystem::create_directories(m_dir, error)) {
    m_error = "cannot create " + hostDir;
    return;
  }
  std::filesystem::path marker = m_dir / L"wardkeep-drive-marker";
  std::filesystem::create_directory(marker, error);
  std::string link = prefix + "/dosdevices/" + std::string(1, m_letter) + ":";
  if (!StartHostShell("ln -sfn " + ShellQuote(hostDir) + " " + ShellQuote(link))) {
    m_error = "Wine did not start the host shell";
    return;
  }
  m_link = link;
  if (!WaitUntil([&] { return std::filesystem::exists(Root() / L"wardkeep-drive-marker"); }, 20s)) {
    m_error = "the drive did not appear";
    return;
  }
  // Wine keeps its table of drives a while: until it is read afresh, the path
  // it gives for a handle may still name the folder through Z: or as the
  // drive before it was mapped again, and a check that compares such paths
  // fails. Both the root and a folder in it must be named exactly.
  if (!WaitUntil(
          [&] { return FinalPathIs(Root()) && FinalPathIs(Root() / L"wardkeep-drive-marker"); },
          20s)) {
    m_error = "Wine did not name the drive's folders by the drive";
    return;
  }
  std::filesystem::remove(marker, error);
}

PrefixDrive::~PrefixDrive() {
  if (!m_link.empty()) {
    StartHostShell("rm -f " + ShellQuote(m_link));
    WaitUntil([&] { return ::GetDriveTypeW(Root().c_str()) == DRIVE_NO_ROOT_DIR; }, 20s);
  }
  std::error_code ignored;
  if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ignored);
}

std::filesystem::path PrefixDrive::Root() const {
  return std::wstring(1, static_cast<wchar_t>(std::toupper(m_letter))) + L":\\";
}

std::wstring AbsentDriveRoot() {
  DWORD present = ::GetLogicalDrives();
  for (int letter = 'Z'; letter >= 'D'; --letter) {
    if ((present & (1u << (letter - 'A'))) == 0) {
      return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
    }
  }
  return {};
}

}  // namespace testing_support::win32

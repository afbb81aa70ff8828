// Native backend of the session service: flock'd lock file, XDG autostart entry,
// /proc/self/exe, and the start-up message box as a line on stderr.
#include "os/session.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "os/posix/drive_map.h"
#include "os/posix/unique_fd.h"
#include "os/session_primitives.h"
#include "unicode/utf8.h"

namespace os {
namespace {

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

// A directory only this user can create entries in: made with mode 0700 when
// missing, and used only when it is a real directory (not a link) that this
// user owns and nobody else may write to. Empty otherwise.
posix::UniqueFd OpenPrivateDirectory(const std::string& path) {
  mkdir(path.c_str(), 0700);
  posix::UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!fd || fstat(fd.Get(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return {};
  }
  return fd;
}

// Where the lock file lives, as a directory descriptor, and its name in it.
// The session's runtime directory when there is one (private to the user by
// its definition). Otherwise not a shared place such as /tmp, where any other
// local user could create our lock file first, make it unreadable to us and so
// keep the program from ever starting: a directory of our own under the
// user's home, whose ownership is checked. Its name carries the host name, so
// a home shared between machines does not make their copies exclude each other.
posix::UniqueFd OpenLockDirectory(const std::string& name, std::string& fileName) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') {
    fileName = name + ".lock";
    return posix::UniqueFd(open(runtime, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  std::string home = HomeDirectory();
  if (home.empty()) return {};
  const char* cache = std::getenv("XDG_CACHE_HOME");
  std::string parent = cache != nullptr && *cache == '/' ? cache : home + "/.cache";
  mkdir(parent.c_str(), 0700);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  std::string hostName = host;
  for (char& c : hostName) c = c == '/' ? '_' : c;
  fileName = name + "." + hostName + ".lock";
  return OpenPrivateDirectory(parent + "/wardkeep");
}

std::string ConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config == '/') return config;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config";
}

// Exec= value: always quoted, as the Run value is, with the quoting rule's
// escapes and then the string escapes, so no character of the path (a space,
// a quote) can split it or add arguments.
std::string DesktopExecValue(const std::string& rawPath) {
  std::string path;
  for (char c : rawPath) path += c == '%' ? std::string("%%") : std::string(1, c);  // field codes
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (char c : quoted) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

void RestrictLibrarySearch() {
  // The dynamic loader takes no libraries from the program's folder unless
  // told to at link time; nothing to restrict.
}

bool AcquireSingleInstance(const std::wstring& name) {
  std::string fileName;
  posix::UniqueFd dir = OpenLockDirectory(unicode::EncodeUtf8(name), fileName);
  if (!dir) return false;
  posix::UniqueFd lock(
      openat(dir.Get(), fileName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!lock || flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  // Kept open: the kernel drops the lock when the process ends, as the
  // platform drops a named mutex.
  lock.Release();
  return true;
}

void WriteAutostartEntry(const std::wstring& entryName, const std::wstring& programPath) {
  auto hostPath = posix::ToHostPath(programPath);
  if (!hostPath) return;
  std::string dir = ConfigHome() + "/autostart";
  mkdir((ConfigHome()).c_str(), 0700);
  mkdir(dir.c_str(), 0700);
  std::string name = unicode::EncodeUtf8(entryName);
  std::string target = dir + "/" + name + ".desktop";
  std::string temp = target + ".tmp" + std::to_string(getpid());
  std::string contents =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=" +
      name +
      "\n"
      "Exec=" +
      DesktopExecValue(*hostPath) +
      "\n"
      "X-GNOME-Autostart-enabled=true\n";
  posix::UniqueFd file(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file) return;
  bool ok = posix::WriteAll(file.Get(), contents.data(), contents.size());
  ok = file.Close() && ok;
  // Renamed into place so a reader never sees half an entry.
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) unlink(temp.c_str());
}

void RemoveAutostartEntry(const std::wstring& entryName) {
  std::string target = ConfigHome() + "/autostart/" + unicode::EncodeUtf8(entryName) + ".desktop";
  unlink(target.c_str());
}

void ShowStartupMessageBox(const std::wstring& text, const std::wstring& caption) {
  std::string line = unicode::EncodeUtf8(caption) + ": " + unicode::EncodeUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace os

namespace os::session {

ProgramPathReading ReadProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  // Unread, the boxes are still captioned with the program's usual name.
  if (n <= 0) return {{}, false, L"wardkeep"};
  // readlink fills the buffer without a word when the target is longer.
  bool cut = static_cast<std::size_t>(n) >= sizeof buffer;
  std::string hostPath(buffer, cut ? sizeof buffer - 1 : static_cast<std::size_t>(n));
  return {posix::ToWindowsPath(hostPath), !cut,
          unicode::DecodeUtf8Replacing(hostPath.substr(hostPath.rfind('/') + 1),
                                       unicode::Utf8Rules::Shortest)};
}

}  // namespace os::session

// Native backend: the drive map between Windows-form paths and host paths.
#include "os/posix/drive_map.h"

#include <cerrno>
#include <cstdlib>
#include <cwctype>

#include "unicode/utf8.h"

namespace os::posix {
namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

std::string StripTrailingSlashes(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// Where an absent drive or a network path leads: nowhere, for every caller.
std::optional<std::string> Nowhere() {
  errno = ENOENT;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DriveDirectory(wchar_t letter) {
  letter = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(letter)));
  if (letter < L'A' || letter > L'Z') return std::nullopt;
  std::string var = "WARDKEEP_DRIVE_";
  var += static_cast<char>(letter);
  const char* value = std::getenv(var.c_str());
  if (value != nullptr && *value != '\0') return StripTrailingSlashes(value);
  if (letter == L'C') return std::string("/");
  return std::nullopt;
}

std::optional<std::string> ToHostPath(const std::wstring& windowsPath) {
  std::wstring rest = windowsPath;
  std::string base;
  if (rest.size() >= 2 && rest[1] == L':') {
    auto dir = DriveDirectory(rest[0]);
    if (!dir) return Nowhere();
    base = *dir;
    rest.erase(0, 2);
    // "D:x" is drive-relative on Windows; here it is simply under the drive.
    if (rest.empty() || !IsSeparator(rest[0])) rest.insert(rest.begin(), L'\\');
  } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
    return Nowhere();  // network paths have no host equivalent
  } else if (!rest.empty() && IsSeparator(rest[0])) {
    auto dir = DriveDirectory(L'C');
    if (!dir) return Nowhere();
    base = *dir;
  }
  for (wchar_t& c : rest) {
    if (IsSeparator(c)) c = L'/';
  }
  std::string tail = unicode::EncodeUtf8(rest);
  if (base.empty()) return tail;
  if (base == "/") return tail.empty() ? std::string("/") : tail;
  return base + tail;
}

std::wstring ToWindowsPath(const std::string& hostPath) {
  if (hostPath.empty() || hostPath[0] != '/') return {};
  std::string bestDir;
  wchar_t bestLetter = 0;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    auto dir = DriveDirectory(letter);
    if (!dir) continue;
    bool under = *dir == "/" || hostPath == *dir ||
                 (hostPath.compare(0, dir->size(), *dir) == 0 && hostPath[dir->size()] == '/');
    if (under && (bestLetter == 0 || dir->size() > bestDir.size())) {
      bestDir = *dir;
      bestLetter = letter;
    }
  }
  if (bestLetter == 0) return {};
  std::string tail = bestDir == "/" ? hostPath : hostPath.substr(bestDir.size());
  std::wstring out{bestLetter, L':'};
  for (wchar_t c : unicode::DecodeUtf8Replacing(tail, unicode::Utf8Rules::Shortest))
    out += c == L'/' ? L'\\' : c;
  if (out.size() == 2) out += L'\\';
  return out;
}

}  // namespace os::posix

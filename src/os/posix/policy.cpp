// Native backend of the policy service: "Name=Value" lines of a root-owned file.
#include "os/policy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>

#include "os/posix/root_only_file.h"
#include "os/posix/unique_fd.h"
#include "unicode/utf8.h"

namespace os {
namespace {

constexpr const char* kPolicyFile = "/etc/wardkeep/policy";
// Far more than two short lines; a file that big is not a policy file.
constexpr std::size_t kMaxPolicyBytes = 64 * 1024;

std::string PolicyFilePath() {
  const char* configured = std::getenv("WARDKEEP_POLICY_FILE");
  return configured != nullptr && *configured == '/' ? configured : kPolicyFile;
}

std::string ReadTrustedPolicyFile() {
  const std::string path = PolicyFilePath();
  const std::string folder = path.substr(0, path.find_last_of('/') + 1);
  struct stat folderInfo {};
  if (stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode) ||
      !posix::OnlyRootMayWrite(folderInfo)) {
    return {};
  }
  posix::UniqueFd file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  std::string contents;
  if (!file ||
      posix::ReadRootOnlyFile(file.Get(), kMaxPolicyBytes, contents) != posix::RootFileRead::Read) {
    return {};
  }
  return contents;
}

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The value of the last line "name=value" (blanks around both ignored; lines
// starting with "#" are comments); none when no line names it.
std::optional<std::string> PolicyValue(const std::wstring& name) {
  const std::string wanted = unicode::EncodeUtf8(name);
  std::istringstream lines(ReadTrustedPolicyFile());
  std::optional<std::string> value;
  for (std::string line; std::getline(lines, line);) {
    line = Trimmed(line);
    std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    if (Trimmed(line.substr(0, equals)) == wanted) value = Trimmed(line.substr(equals + 1));
  }
  return value;
}

}  // namespace

std::optional<std::wstring> ReadPolicyText(const std::wstring& name) {
  std::optional<std::string> value = PolicyValue(name);
  if (!value) return std::nullopt;
  return unicode::DecodeUtf8Replacing(*value);
}

std::optional<std::uint32_t> ReadPolicyNumber(const std::wstring& name) {
  std::optional<std::wstring> value = ReadPolicyText(name);
  return value ? ParsePolicyNumber(*value) : std::nullopt;
}

}  // namespace os

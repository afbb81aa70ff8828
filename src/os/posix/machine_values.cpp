// Native backend of the machine values: one small file, replaced whole by a
// rename, in a directory only root may write.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>

#include "os/machine_values.h"
#include "os/machine_values_rules.h"
#include "os/posix/root_only_file.h"
#include "os/posix/unique_fd.h"
#include "unicode/utf8.h"

namespace os {

namespace {

constexpr char kDefaultDirectory[] = "/var/lib/wardkeep";
constexpr char kFileName[] = "state";
constexpr char kTemporaryName[] = "state.new";
// Far more than a few values need; a larger file is not ours.
constexpr std::size_t kMaxFileSize = 64 * 1024;

using Values = std::map<std::string, std::string>;

std::string Directory() {
  const char* configured = std::getenv("WARDKEEP_STATE_DIR");
  return configured != nullptr && *configured != '\0' ? configured : kDefaultDirectory;
}

posix::UniqueFd OpenDirectory(const std::string& path) {
  return posix::UniqueFd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

Values Parse(const std::string& text) {
  Values values;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (const std::size_t equals = line.find('='); equals != std::string::npos) {
      values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    at = end + 1;
  }
  return values;
}

// The file's values; Absent when there is no file yet.
MachineValueStatus ReadValues(int dir, Values& values) {
  posix::UniqueFd file(openat(dir, kFileName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!file) {
    if (errno == ENOENT) return MachineValueStatus::Absent;
    return errno == ELOOP ? MachineValueStatus::Untrusted : MachineValueStatus::Failed;
  }
  std::string text;
  switch (posix::ReadRootOnlyFile(file.Get(), kMaxFileSize, text)) {
    case posix::RootFileRead::Read:
      break;
    case posix::RootFileRead::Untrusted:
      return MachineValueStatus::Untrusted;
    case posix::RootFileRead::Failed:
      return MachineValueStatus::Failed;
  }
  values = Parse(text);
  return MachineValueStatus::Found;
}

MachineValueStatus OpenTrustedDirectory(posix::UniqueFd& dir) {
  dir = OpenDirectory(Directory());
  if (!dir) {
    if (errno == ENOENT) return MachineValueStatus::Absent;
    return errno == ELOOP || errno == ENOTDIR ? MachineValueStatus::Untrusted
                                              : MachineValueStatus::Failed;
  }
  struct stat info {};
  if (fstat(dir.Get(), &info) != 0) return MachineValueStatus::Failed;
  return posix::OnlyRootMayWrite(info) ? MachineValueStatus::Found : MachineValueStatus::Untrusted;
}

}  // namespace

MachineValue ReadMachineValue(const std::wstring& name) {
  if (!IsMachineValueName(name)) return {MachineValueStatus::Failed, {}};
  posix::UniqueFd dir;
  if (const MachineValueStatus opened = OpenTrustedDirectory(dir);
      opened != MachineValueStatus::Found) {
    return {opened, {}};
  }
  Values values;
  if (const MachineValueStatus read = ReadValues(dir.Get(), values);
      read != MachineValueStatus::Found) {
    return {read, {}};
  }
  const auto found = values.find(unicode::EncodeUtf8(name));
  if (found == values.end()) return {MachineValueStatus::Absent, {}};
  std::optional<std::wstring> value = unicode::DecodeUtf8(found->second);
  if (!value || !IsMachineValueText(*value)) return {MachineValueStatus::Failed, {}};
  return {MachineValueStatus::Found, std::move(*value)};
}

bool WriteMachineValue(const std::wstring& name, const std::wstring& value) {
  if (!IsMachineValueName(name) || !IsMachineValueText(value)) return false;
  const std::string path = Directory();
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
  posix::UniqueFd dir;
  if (OpenTrustedDirectory(dir) != MachineValueStatus::Found) return false;
  Values values;
  const MachineValueStatus read = ReadValues(dir.Get(), values);
  // A file that is not root's is replaced, never read: only the rename below
  // may leave one there.
  if (read == MachineValueStatus::Failed) return false;
  if (read == MachineValueStatus::Untrusted) values.clear();
  values[unicode::EncodeUtf8(name)] = unicode::EncodeUtf8(value);
  std::string text;
  for (const auto& [key, kept] : values) text += key + "=" + kept + "\n";

  unlinkat(dir.Get(), kTemporaryName, 0);
  posix::UniqueFd file(openat(dir.Get(), kTemporaryName,
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!file || fchmod(file.Get(), 0644) != 0 ||
      !posix::WriteAll(file.Get(), text.data(), text.size()) || fsync(file.Get()) != 0 ||
      !file.Close() || renameat(dir.Get(), kTemporaryName, dir.Get(), kFileName) != 0) {
    unlinkat(dir.Get(), kTemporaryName, 0);
    return false;
  }
  fsync(dir.Get());
  return true;
}

std::wstring MachineValuesPlace() {
  return unicode::DecodeUtf8Replacing(Directory() + "/" + kFileName);
}

}  // namespace os

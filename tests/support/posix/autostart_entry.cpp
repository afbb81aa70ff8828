// Native: <config home>/autostart/<name>.desktop.
#include "support/autostart_entry.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/temp_dir.h"
#include "unicode/utf8.h"

namespace testing_support {
namespace {

std::filesystem::path EntryFile(const std::wstring& entryName) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::filesystem::path dir = config != nullptr && *config == '/'
                                  ? std::filesystem::path(config)
                                  : std::filesystem::path(home != nullptr ? home : "") / ".config";
  return dir / "autostart" / (unicode::EncodeUtf8(entryName) + ".desktop");
}

}  // namespace

std::string AutostartCommand(const std::wstring& entryName) {
  std::istringstream in(ReadFile(EntryFile(entryName)));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Exec=", 0) != 0) continue;
    std::string value;
    for (std::size_t i = 5; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        char next = line[++i];
        value += next == 'n'   ? '\n'
                 : next == 's' ? ' '
                 : next == 't' ? '\t'
                 : next == 'r' ? '\r'
                               : next;
      } else {
        value += line[i];
      }
    }
    return value;
  }
  return {};
}

void RemoveAutostartEntry(const std::wstring& entryName) {
  std::error_code ignored;
  std::filesystem::remove(EntryFile(entryName), ignored);
}

}  // namespace testing_support

// Native: "Name=Value" lines in a file of a private folder, both root's.
#include "support/machine_policy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <optional>

#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "unicode/utf8.h"

namespace testing_support {

struct MachinePolicy::State {
  TempDir folder;
  ScopedEnv file{"WARDKEEP_POLICY_FILE", (folder / "policy").string()};
  std::map<std::string, std::string> lines;

  bool Write() {
    if (geteuid() != 0) return false;
    std::string text = "# written by a test\n";
    for (const auto& [name, value] : lines) text += name + "=" + value + "\n";
    WriteFile(folder / "policy", text);
    return chmod((folder / "policy").c_str(), 0644) == 0 && chmod(folder.path().c_str(), 0755) == 0;
  }
};

MachinePolicy::MachinePolicy() : m_state(std::make_unique<State>()) {}
MachinePolicy::~MachinePolicy() = default;

bool MachinePolicy::SetText(const std::wstring& name, const std::wstring& value) {
  m_state->lines[unicode::EncodeUtf8(name)] = unicode::EncodeUtf8(value);
  return m_state->Write();
}

bool MachinePolicy::SetNumber(const std::wstring& name, std::uint32_t value) {
  m_state->lines[unicode::EncodeUtf8(name)] = std::to_string(value);
  return m_state->Write();
}

}  // namespace testing_support

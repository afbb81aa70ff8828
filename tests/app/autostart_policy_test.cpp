// Who starts the program at log-on, as the machine's "Autostart" policy says:
// the task registered for every user ("task"), so the user's own entry goes
// and is not written again; by default the user's own entry, as ever.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/wardkeep_app.h"
#include "support/autostart_entry.h"
#include "support/machine_policy.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "unicode/utf8.h"

namespace {

using testing_support::AutostartCommand;
using testing_support::MachinePolicy;

struct Row {
  std::optional<std::wstring> autostart;
  bool entryWritten;
};

TEST(AutostartPolicy, TheTaskReplacesTheUsersEntryAndOnlyTheTask) {
  const Row rows[] = {
      {std::nullopt, true}, {L"run", true},   {L"task", false},
      {L"TASK", false},     {L"tasks", true}, {L"", true},
  };
  testing_support::TempDir temp;
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", (temp / "config").string());  // natively
  for (const Row& row : rows) {
    SCOPED_TRACE(row.autostart ? unicode::EncodeUtf8(*row.autostart) : "(absent)");
    MachinePolicy policy;
    if (row.autostart && !policy.SetText(L"Autostart", *row.autostart)) {
      GTEST_SKIP() << "the machine's policies cannot be written here (not root)";
    }
    // A stale entry, as an earlier copy elsewhere wrote it.
    app::RegisterAutostart(app::kAutostartValueName, L"C:\\old\\place\\wardkeep.exe");
    app::SetUpAutostart();
    const std::string command = AutostartCommand(app::kAutostartValueName);
    if (row.entryWritten) {
      EXPECT_NE(command.find("wardkeep_app_tests"), std::string::npos) << command;
    } else {
      EXPECT_EQ(command, "");
    }
    testing_support::RemoveAutostartEntry(app::kAutostartValueName);
  }
}

}  // namespace

// Who starts the program at log-on, as the machine's "Autostart" policy says:
// the task registered for every user ("task"), so the user's own entry goes
// and is not written again; by default the user's own entry, as ever.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/wardkeep_app.h"
#include "os/session.h"
#include "support/autostart_entry.h"
#include "support/machine_policy.h"
#include "support/scoped_env.h"
#include "support/target.h"
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
    os::WriteAutostartEntry(app::kAutostartValueName, L"C:\\old\\place\\wardkeep.exe");
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

// The entry names the running program by its whole path, quoted; a program
// with no whole Windows-form path (natively: outside every mapped drive)
// writes none rather than a wrong one, and leaves an earlier entry alone.
TEST(AutostartEntry, NamesTheRunningProgramWholeOrNothing) {
  testing_support::TempDir temp;
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", (temp / "config").string());  // natively
  MachinePolicy policy;  // no Autostart policy: the user's own entry
  const std::optional<std::wstring> own = os::OwnProgramPath();
  ASSERT_TRUE(own.has_value());
  const std::string hostForm = testing_support::kWindowsTarget
                                   ? unicode::EncodeUtf8(*own)
                                   : std::filesystem::read_symlink("/proc/self/exe").string();
  app::SetUpAutostart();
  EXPECT_EQ(AutostartCommand(app::kAutostartValueName), "\"" + hostForm + "\"");

  if (!testing_support::kWindowsTarget) {
    testing_support::ScopedEnv driveC("WARDKEEP_DRIVE_C", temp.path().string());
    ASSERT_EQ(os::OwnProgramPath(), std::nullopt);
    os::WriteAutostartEntry(app::kAutostartValueName, L"C:\\old\\place\\wardkeep.exe");
    const std::string stale = AutostartCommand(app::kAutostartValueName);
    app::SetUpAutostart();
    EXPECT_EQ(AutostartCommand(app::kAutostartValueName), stale);
  }
  testing_support::RemoveAutostartEntry(app::kAutostartValueName);
}

}  // namespace

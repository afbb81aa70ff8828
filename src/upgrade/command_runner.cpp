#include "upgrade/command_runner.h"

#include "os/processes.h"

bool RunAndWait(std::wstring commandLine) {
  // A command that never ends would otherwise hold the window's initialisation.
  return os::RunCommandLineAndWait(commandLine, upgrade::g_commandTimeLimitMs.Get()) ==
         os::LaunchResult::Ended;
}

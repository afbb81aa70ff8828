#include "upgrade/command_runner.h"

#include "os/processes.h"
#include "upgrade/tunables.h"

namespace upgrade {

bool RunAndWait(std::wstring commandLine) {
  // A command that never ends would otherwise hold the window's initialisation.
  return os::RunCommandLineAndWait(commandLine,
                                   WholeMilliseconds(tunables::commandTimeLimit.Get())) ==
         os::LaunchResult::Ended;
}

}  // namespace upgrade

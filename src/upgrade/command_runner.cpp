#include "upgrade/command_runner.h"

#include "os/processes.h"
#include "upgrade/tunables.h"

namespace upgrade {

bool RunAndWait(const std::wstring& program, const std::wstring& arguments) {
  // A command that never ends would otherwise hold the window's initialisation.
  return os::RunSystemProgramAndWait(
             program, arguments, tunable::WholeMilliseconds(tunables::commandTimeLimit.Get())) ==
         os::LaunchResult::Ended;
}

}  // namespace upgrade

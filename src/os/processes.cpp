// Starting other programs and waiting for them, over the backend's process
// primitives: the bounded wait and the end at the deadline live here once.
#include "os/processes.h"

#include "os/process_primitives.h"

namespace os {
namespace {

LaunchResult WaitOrEnd(const process::ChildPtr& child, unsigned timeoutMilliseconds) {
  if (!child) return LaunchResult::NotStarted;
  if (process::WaitForExit(*child, timeoutMilliseconds)) return LaunchResult::Ended;
  process::Kill(*child);
  return LaunchResult::TimedOut;
}

}  // namespace

LaunchResult RunSystemProgramAndWait(const std::wstring& program, const std::wstring& arguments,
                                     unsigned timeoutMilliseconds) {
  if (program.empty() || program.find_first_of(L"\\/: ") != std::wstring::npos) {
    return LaunchResult::NotStarted;
  }
  return WaitOrEnd(process::StartSystemProgram(program, arguments), timeoutMilliseconds);
}

}  // namespace os

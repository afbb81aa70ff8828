#pragma once
// For the processes backends only: the few calls each one supplies, over which
// processes.cpp writes the launch-wait-end logic once.

#include <memory>
#include <string>

namespace os::process {

// A started child as the backend holds it (a pid, a process handle); released
// once the child has ended or been ended.
struct Child;
struct ChildRelease {
  void operator()(Child* child) const noexcept;
};
using ChildPtr = std::unique_ptr<Child, ChildRelease>;

// One of the system's programs by its bare name (os/processes.h says where it
// is found); the child's output goes where the caller's does. Empty when it
// could not be started.
ChildPtr StartSystemProgram(const std::wstring& program, const std::wstring& arguments);

// True once the child has ended within `timeoutMilliseconds`.
bool WaitForExit(Child& child, unsigned timeoutMilliseconds);

// Ends the child, with what it started where the backend can, and waits for it.
void Kill(Child& child);

}  // namespace os::process

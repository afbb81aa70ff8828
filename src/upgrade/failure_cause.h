#pragma once
// Runs one step of the upgrade and keeps the operating system's reason when it
// fails, for the line after the failure's own.

#include <string>

#include "os/errors.h"

namespace upgrade {

template <typename Step>
bool Attempt(Step step, std::wstring& cause) {
  os::ClearLastError();
  if (step()) return true;
  cause = os::LastErrorText();
  return false;
}

}  // namespace upgrade

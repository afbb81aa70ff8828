#pragma once
// Runs one step of the upgrade and keeps the operating system's reason when it
// fails, for the line after the failure's own.

#include <string>
#include <type_traits>

#include "os/errors.h"

namespace upgrade {

// What the cause line says of `error`: its text, and words of our own when
// the system gave none, so that a cause line follows every failure.
inline std::wstring CauseOf(const os::Error& error) {
  return error ? error.text : L"系统未给出原因";
}

// `step` returns either success as a bool, the cause then read from the
// system right after it, or an os::Error captured at the failing call itself
// (empty on success). A failure always leaves a cause.
template <typename Step>
bool Attempt(Step step, std::wstring& cause) {
  os::ClearLastError();
  if constexpr (std::is_same_v<decltype(step()), os::Error>) {
    const os::Error error = step();
    if (!error) return true;
    cause = error.text;
    return false;
  } else {
    if (step()) return true;
    cause = CauseOf(os::LastError());
    return false;
  }
}

}  // namespace upgrade

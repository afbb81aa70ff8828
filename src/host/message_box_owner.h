#pragma once
// Whoever owns the program's message boxes (the dialog's view), handed down to
// the code that reports through one, so nothing below the window needs it.

#include <string>

namespace host {

class MessageBoxOwner {
 public:
  virtual ~MessageBoxOwner() = default;

  // OK only; returns once the box is closed.
  virtual void ShowMessageBox(const std::wstring& text) = 0;
};

}  // namespace host

#pragma once
// Why an operation failed, in the operating system's own words, captured at
// the failing call so that a failure's cause reaches the line that reports it
// unchanged by whatever clean-up ran afterwards.

#include <string>

namespace os {

// A failure's cause. `code` is the system's number (errno, GetLastError), 0
// when the system named none; `text` says what failed, always, when set.
struct Error {
  long code = 0;
  std::wstring text;

  explicit operator bool() const { return code != 0 || !text.empty(); }
};

// The calling thread's last error, now: the system's text with its number,
// e.g. "Permission denied (13)"; empty when none is recorded.
Error LastError();

// LastError(), or `what` when the system recorded no error of its own (a
// check of the program's that failed).
Error LastErrorOr(std::wstring what);

// Forgets the last error, so that a failure without one of its own is not
// blamed on an earlier call.
void ClearLastError();

// Keeps the thread's last error across the clean-up after a failure: taken
// right after the failing call, it puts the error back when it goes.
class LastErrorKeeper {
 public:
  LastErrorKeeper();
  ~LastErrorKeeper();
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  long m_code;
};

}  // namespace os

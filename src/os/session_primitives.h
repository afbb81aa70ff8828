#pragma once
// For the session backends only: the program's own path as the platform
// reads it, over which session.cpp decides once what counts as the whole
// path and what the boxes' caption is.

#include <optional>
#include <string>

namespace os::session {

struct ProgramPathReading {
  // Windows form, as far as it was read; empty when it has none (natively a
  // program outside every mapped drive).
  std::wstring windowsPath;
  // False when the platform's buffer cut the path short.
  bool whole = false;
  // The program file's own name, read from wherever the program lies.
  std::wstring fileName;
};

ProgramPathReading ReadProgramPath();

// The reading's path when it is whole, nothing otherwise.
std::optional<std::wstring> WholeProgramPath(const ProgramPathReading& reading);

}  // namespace os::session

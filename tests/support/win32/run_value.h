#pragma once
// The program's autostart value under HKCU's Run key, read and removed from
// outside the program.

#include <windows.h>

#include <string>

namespace testing_support::win32 {

struct RunValue {
  bool found = false;
  DWORD type = 0;
  DWORD bytes = 0;
  std::wstring data;  // as stored, NUL included when it was stored
};

RunValue ReadRunValue();
void DeleteRunValue();

}  // namespace testing_support::win32

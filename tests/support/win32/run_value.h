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

// The program's own value unless another name is given.
RunValue ReadRunValue(const std::wstring& name = L"orvWardkeep");
void DeleteRunValue(const std::wstring& name = L"orvWardkeep");

}  // namespace testing_support::win32

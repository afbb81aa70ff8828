// The machine values on Windows: REG_SZ values of HKLM\SOFTWARE\Wardkeep,
// read back as written, each kept beside the others.
#include "os/machine_values.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using os::MachineValueStatus;

void Forget(const wchar_t* name) {
  ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wardkeep", name);
}

TEST(Win32MachineValues, WrittenValuesAreReadBackFromTheMachinesKey) {
  Forget(L"TestValueOne");
  Forget(L"TestValueTwo");
  EXPECT_EQ(os::ReadMachineValue(L"TestValueOne").status, MachineValueStatus::Absent);
  ASSERT_TRUE(os::WriteMachineValue(L"TestValueOne", L"2.0.0"));
  ASSERT_TRUE(os::WriteMachineValue(L"TestValueTwo", L"ab12"));
  ASSERT_TRUE(os::WriteMachineValue(L"TestValueOne", L"2.0.1"));
  const os::MachineValue one = os::ReadMachineValue(L"TestValueOne");
  EXPECT_EQ(one.status, MachineValueStatus::Found);
  EXPECT_EQ(one.value, L"2.0.1");
  EXPECT_EQ(os::ReadMachineValue(L"TestValueTwo").value, L"ab12");

  // Written by anyone else as another type, it is not taken for a text.
  const DWORD number = 7;
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wardkeep", 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, L"TestValueTwo", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  ::RegCloseKey(key);
  EXPECT_EQ(os::ReadMachineValue(L"TestValueTwo").status, MachineValueStatus::Failed);

  EXPECT_FALSE(os::WriteMachineValue(L"Test Value", L"x"));
  EXPECT_FALSE(os::WriteMachineValue(L"TestValueOne", L"two\nlines"));
  EXPECT_EQ(os::ReadMachineValue(L"TestValueOne").value, L"2.0.1");
  EXPECT_EQ(os::MachineValuesPlace(), L"HKLM\\SOFTWARE\\Wardkeep");
  Forget(L"TestValueOne");
  Forget(L"TestValueTwo");
}

}  // namespace

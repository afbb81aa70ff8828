// The real wardkeep.exe as its users meet it: started as processes, its
// windows read from outside, the Run value read from the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/program_process.h"
#include "support/win32/run_value.h"

namespace {

using namespace std::chrono_literals;
using testing_support::TempDir;
using testing_support::win32::ControlText;
using testing_support::win32::FindMessageBoxes;
using testing_support::win32::MessageBoxInfo;
using testing_support::win32::WaitUntil;

using testing_support::win32::DeleteRunValue;
using testing_support::win32::ReadRunValue;
using testing_support::win32::RunValue;

using Program = testing_support::win32::ProgramProcess;

class WardkeepProgram : public testing::Test {
 protected:
  void SetUp() override { DeleteRunValue(); }
  void TearDown() override { DeleteRunValue(); }

  // A copy of the program under the test's directory, so paths differ per copy.
  std::wstring CopyProgramTo(const std::wstring& folder) {
    std::filesystem::path dir = temp.path() / folder;
    std::filesystem::create_directories(dir);
    std::filesystem::path target = dir / L"wardkeep.exe";
    std::filesystem::copy_file(testing_support::win32::ProgramUnderTest(WARDKEEP_PROGRAM), target);
    return target.wstring();
  }

  // Waits for the dialog to exist and the posted message to have hidden it.
  static HWND WaitForHiddenDialog(const Program& program) {
    HWND dialog = nullptr;
    bool hidden = WaitUntil(
        [&] {
          dialog = program.Dialog();
          return dialog != nullptr && !::IsWindowVisible(dialog);
        },
        30s);
    return hidden ? dialog : nullptr;
  }

  TempDir temp;
};

TEST_F(WardkeepProgram, StartsHiddenRegistersItselfRefusesASecondCopyAndEndsOnEscape) {
  const std::wstring first = CopyProgramTo(L"first copy");
  const std::wstring moved = CopyProgramTo(L"移动后");

  Program one(first);
  ASSERT_TRUE(one.Started());
  HWND dialog = WaitForHiddenDialog(one);
  ASSERT_NE(dialog, nullptr) << "no hidden status dialog";
  // Still hidden a moment later: nothing shows it before the first health tick.
  ::Sleep(1000);
  EXPECT_FALSE(::IsWindowVisible(dialog));

  EXPECT_EQ(ControlText(dialog, 1000), L"尝试启动");
  EXPECT_EQ(ControlText(dialog, 1001), L"");  // no health text before the first tick
  EXPECT_TRUE(std::regex_match(ControlText(dialog, 1002), std::wregex(L"[0-9]+")));
  EXPECT_TRUE(std::regex_match(ControlText(dialog, 1003), std::wregex(L"[0-9]+\\.[0-9]{2} GB")));
  EXPECT_EQ(ControlText(dialog, 1006), L"");

  RunValue value = ReadRunValue();
  ASSERT_TRUE(value.found);
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.bytes, (first.size() + 3) * sizeof(wchar_t));
  EXPECT_EQ(value.data, L'"' + first + L'"' + L'\0');

  // A second copy: only the English box, then it ends; the value is untouched.
  {
    Program two(moved);
    ASSERT_TRUE(two.Started());
    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitUntil(
        [&] {
          boxes = FindMessageBoxes(two.Id());
          return !boxes.empty() && !boxes[0].text.empty();
        },
        30s));
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].text, L"The program is already running!");
    EXPECT_EQ(two.Dialog(), nullptr);
    EXPECT_EQ(ReadRunValue().data, L'"' + first + L'"' + L'\0');
    ::PostMessageW(boxes[0].window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(two.WaitForEnd(15000));
  }
  EXPECT_EQ(ReadRunValue().data, L'"' + first + L'"' + L'\0');
  EXPECT_TRUE(one.Running());

  // Escape ends the first copy, and with it the mutex: the moved copy starts
  // at once and names itself in the Run value.
  testing_support::win32::PressEscape(dialog);
  ASSERT_TRUE(one.WaitForEnd(15000));
  Program three(moved);
  ASSERT_TRUE(three.Started());
  HWND again = WaitForHiddenDialog(three);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(ReadRunValue().data, L'"' + moved + L'"' + L'\0');
  EXPECT_TRUE(FindMessageBoxes(three.Id()).empty());
  testing_support::win32::PressEscape(again);
  EXPECT_TRUE(three.WaitForEnd(15000));
}

}  // namespace

// Progress lines as the bytes a redirected standard output receives.
#include "os/console.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/session.h"
#include "support/temp_dir.h"

namespace {

// Child side: writes two progress lines. Run only by the test below.
TEST(Win32ConsoleChild, DISABLED_WriteLines) {
  os::WriteProgressLine(L"备份 stock-relay.jar\n");
  os::WriteProgressLine(L"ok\n");
}

TEST(Win32Console, ProgressLinesReachStandardOutputAsUtf8) {
  testing_support::TempDir temp;
  std::wstring outputPath = (temp / "out.txt").wstring();
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE output = ::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(output, INVALID_HANDLE_VALUE);

  std::wstring command = L"\"" + os::OwnProgramPath().value() +
                         L"\" --gtest_also_run_disabled_tests --gtest_brief=1 "
                         L"--gtest_filter=Win32ConsoleChild.DISABLED_WriteLines";
  std::vector<wchar_t> buffer(command.begin(), command.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  BOOL started = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &info);
  ::CloseHandle(output);
  ASSERT_TRUE(started);
  EXPECT_EQ(::WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
  ::CloseHandle(info.hProcess);
  ::CloseHandle(info.hThread);

  std::string bytes = testing_support::ReadFile(temp / "out.txt");
  // The C runtime's text mode ends each line as the platform does.
  std::string expected = "\xE5\xA4\x87\xE4\xBB\xBD stock-relay.jar\r\nok\r\n";
  EXPECT_NE(bytes.find(expected), std::string::npos) << bytes;
}

}  // namespace

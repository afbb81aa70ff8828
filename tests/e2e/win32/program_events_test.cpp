// The real wardkeep.exe's events in the Application log, against the native
// stand-in on the production ports. Wine's ReportEventW writes each event's
// strings to its "eventlog" debug channel: the program runs under
// WINEDEBUG=+eventlog from a host shell whose standard error the test reads.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "support/win32/host_shell.h"
#include "support/win32/standin_session.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::win32::ControlText;
using testing_support::win32::StandinSession;
using testing_support::win32::WaitUntil;

constexpr auto kCycle = 35s;

struct LoggedEvent {
  unsigned type = 0;  // 4 information, 2 warning, 1 error
  unsigned id = 0;    // as Event Viewer shows it
  std::vector<std::string> strings;
};

// debugstr_w's form back to UTF-8: a backslash and four hex digits for every
// character outside printable ASCII; \n, \r, \t, \\ and \" as in C.
std::string FromDebugString(const std::string& quoted) {
  std::wstring wide;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 >= quoted.size()) {
      wide += static_cast<wchar_t>(static_cast<unsigned char>(quoted[i]));
      continue;
    }
    const char next = quoted[++i];
    if (std::isxdigit(static_cast<unsigned char>(next)) && i + 3 < quoted.size()) {
      wide += static_cast<wchar_t>(std::stoul(quoted.substr(i, 4), nullptr, 16));
      i += 3;
    } else {
      wide += next == 'n' ? L'\n' : next == 'r' ? L'\r' : next == 't' ? L'\t' : next;
    }
  }
  return testing_support::win32::ToUtf8(wide);
}

// "fixme:advapi:ReportEventW (handle,type,category,id,…)" opens an event;
// the "eventlog" lines after it are its strings.
std::vector<LoggedEvent> ParseEvents(const std::string& log) {
  static const std::regex opened(
      R"(ReportEventW \([0-9A-Fa-f]+,0x([0-9a-f]{4}),0x[0-9a-f]{4},0x([0-9a-f]{8}),)");
  static const std::regex string(R"(:eventlog:ReportEventW L"(.*)\"(\.\.\.)?$)");
  std::vector<LoggedEvent> events;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch found;
    if (std::regex_search(line, found, opened)) {
      events.push_back({static_cast<unsigned>(std::stoul(found[1], nullptr, 16)),
                        static_cast<unsigned>(std::stoul(found[2], nullptr, 16) & 0xFFFF),
                        {}});
    } else if (!events.empty() && std::regex_search(line, found, string)) {
      events.back().strings.push_back(FromDebugString(found[1]));
    }
  }
  return events;
}

std::vector<unsigned> Ids(const std::vector<LoggedEvent>& events) {
  std::vector<unsigned> ids;
  for (const LoggedEvent& event : events) ids.push_back(event.id);
  return ids;
}

TEST(WardkeepProgramEvents, StartUpdateButtonAndEachHealthChangeReachTheEventLog) {
  StandinSession standin(WARDKEEP_NATIVE_STANDIN, {"--platform", "healthy"});
  ASSERT_EQ(standin.Error(), "");

  TempDir temp;
  const std::filesystem::path program = temp / "wardkeep.exe";
  std::filesystem::copy_file(testing_support::win32::BuildPath(WARDKEEP_PROGRAM), program);
  using testing_support::win32::ShellQuote;
  // Standard error goes to a host file under Z:, where the test reads it.
  const std::string log = "/tmp/wardkeep-win32-events-" + std::to_string(::GetCurrentProcessId());
  const std::filesystem::path logFile = testing_support::win32::BuildPath(log.c_str());
  std::error_code ignored;
  std::filesystem::remove(logFile, ignored);
  // The same Wine that runs this test, in the same prefix and session.
  ASSERT_TRUE(testing_support::win32::StartHostShell(
      "cd /tmp && WINEDEBUG=+eventlog exec " + ShellQuote(WARDKEEP_WINE_LOADER) + " " +
      ShellQuote(testing_support::win32::ToUtf8(program.wstring())) + " 2>" + ShellQuote(log)));
  auto events = [&] { return ParseEvents(ReadFile(logFile)); };

  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] { return (dialog = testing_support::win32::FindStatusDialog()) != nullptr; }, 60s));
  // Two healthy cycles write nothing.
  ASSERT_TRUE(WaitUntil([] { return StandinSession::HealthHits() >= 2; }, 2 * kCycle + 10s));
  std::vector<LoggedEvent> seen = events();
  ASSERT_EQ(Ids(seen), (std::vector<unsigned>{1000, 1100})) << ReadFile(logFile);
  EXPECT_EQ(seen[0].type, 4u);
  ASSERT_EQ(seen[0].strings.size(), 6u);
  EXPECT_EQ(seen[0].strings[0], "Wardkeep started");
  EXPECT_EQ(seen[0].strings[1].rfind("Version: ", 0), 0u);
  EXPECT_EQ(seen[0].strings[4].rfind("Rights: ", 0), 0u);
  ASSERT_EQ(seen[1].strings.size(), 8u);
  EXPECT_EQ(seen[1].strings[5], "Outcome: 没有可用的更新");

  ASSERT_TRUE(standin.Control(R"({"platform":"fault","fault-text":"数据库连接失败"})"));
  ASSERT_TRUE(WaitUntil([&] { return events().size() >= 3; }, kCycle));
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(dialog) != FALSE; }, 10s));
  seen = events();
  EXPECT_EQ(seen[2].id, 1300u);
  EXPECT_EQ(seen[2].type, 1u);
  EXPECT_EQ(seen[2].strings,
            (std::vector<std::string>{"Health check: fault", "Fault: 数据库连接失败"}));

  // The button, with none of the three services in this prefix: each one
  // fails. Its boxes, if any, are closed as they come.
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, 1000)));
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const auto& box : testing_support::win32::FindMessageBoxes()) {
          ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
        }
        return events().size() >= 4;
      },
      60s));
  seen = events();
  EXPECT_EQ(seen[3].id, 1201u);
  EXPECT_EQ(seen[3].type, 2u);
  ASSERT_EQ(seen[3].strings.size(), 5u);
  EXPECT_EQ(seen[3].strings[2], "redis-orv: FAILED: not running and could not be started");

  ASSERT_TRUE(standin.Control(R"({"platform":"healthy"})"));
  ASSERT_TRUE(WaitUntil([&] { return events().size() >= 5; }, kCycle));
  seen = events();
  EXPECT_EQ(seen[4].id, 1301u);
  EXPECT_EQ(seen[4].strings[1], "The fault was: 数据库连接失败");
  EXPECT_EQ(seen.size(), 5u);

  testing_support::win32::PressEscape(dialog);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 15s));
  std::filesystem::remove(logFile, ignored);
}

}  // namespace

// The console front end's message box: a line on standard error captioned with
// the program's name, and the latest box in the panel.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "os/session.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "ui/console/console_dialog.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// Sends a standard stream to a file for its scope.
class Redirect {
 public:
  Redirect(std::FILE* stream, const std::filesystem::path& file)
      : m_stream(stream), m_fd(fileno(stream)) {
    std::fflush(m_stream);
    m_saved = dup(m_fd);
    int target = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(target, m_fd);
    close(target);
  }
  ~Redirect() {
    std::fflush(m_stream);
    dup2(m_saved, m_fd);
    close(m_saved);
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;

 private:
  std::FILE* m_stream;
  int m_fd;
  int m_saved = -1;
};

TEST(ConsoleMessageBox, EachIsACaptionedLineOnStandardErrorAndThePanelShowsTheLatest) {
  TempDir temp;
  // No drive holds the program, so it has no Windows-form path: the caption
  // names it all the same.
  ScopedEnv driveC("WARDKEEP_DRIVE_C", temp.path().string());
  ASSERT_EQ(os::OwnProgramPath(), std::nullopt);
  {
    Redirect out(stdout, temp / "out");
    Redirect err(stderr, temp / "err");
    ui::console::ConsoleDialog dialog(false);
    dialog.ShowWindow(true);
    dialog.ShowMessageBox(L"OpenSCManager Open failed");
    dialog.ShowMessageBox(L"QueryServiceStatusEx failed");
  }

  EXPECT_EQ(ReadFile(temp / "err"),
            "wardkeep_ui_console_tests: OpenSCManager Open failed\n"
            "wardkeep_ui_console_tests: QueryServiceStatusEx failed\n");
  // One panel per box, each with only its own.
  std::string out = ReadFile(temp / "out");
  std::size_t second = out.rfind("+-- Vellun");
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(second, 0u);
  std::string first = out.substr(0, second);
  EXPECT_NE(first.find("| ! OpenSCManager Open failed\n"), std::string::npos) << first;
  EXPECT_NE(out.find("| ! QueryServiceStatusEx failed\n", second), std::string::npos) << out;
  EXPECT_EQ(out.find("OpenSCManager", second), std::string::npos) << out;
}

}  // namespace

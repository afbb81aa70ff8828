// Java's own reader against the archive check, on archives that real writers
// make at test time (differential/make_archives.py): every archive that
// java.util.zip.ZipFile reads to the end of every entry is accepted, every one
// it refuses is refused, except the few the check refuses on purpose, listed
// here with the reason. Skipped, with the reason, where Java is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "os/files.h"
#include "support/posix/child_process.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "upgrade/jar_check.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;

const fs::path kDifferential = fs::path(WARDKEEP_SOURCE_DIR) / "tests/upgrade/posix/differential";

// Archives Java reads whole that the check refuses, and why.
const std::map<std::string, std::string> kChosen = {
    {"choice-trailing-bytes.jar",
     "bytes after the end record: not the file its writer made (a download with something "
     "appended to it), although Java still finds the archive before them"},
    {"choice-empty.zip", "no entries: an archive without a manifest or a class runs no service"},
    {"choice-spliced.jar",
     "what precedes the archive starts as an archive itself: most likely a JAR cut right after "
     "one stored in it (a fat JAR's library), which Java would run as that library alone"},
};

// Where `program` is on PATH.
std::optional<fs::path> FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// Runs `argv` to its end; its standard output, or a failure with its errors.
std::string RunToEnd(const std::vector<std::string>& argv, const fs::path& outputDir) {
  ChildProcess child(argv, {}, outputDir);
  child.CloseInput();
  const std::optional<int> status = child.Wait(std::chrono::minutes(4));
  EXPECT_TRUE(status && testing_support::ExitCode(*status) == 0)
      << argv[0] << " " << argv[1] << " failed:\n"
      << child.Stderr();
  return child.Stdout();
}

// "name<TAB>value" lines, keyed by the name's last path component.
std::map<std::string, std::string> Lines(const std::string& text) {
  std::map<std::string, std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) {
      lines[fs::path(line.substr(0, tab)).filename().string()] = line.substr(tab + 1);
    }
  }
  return lines;
}

TEST(JavaDifferential, WhatJavaReadsIsAcceptedAndWhatItRefusesIsRefused) {
  std::string missing;
  for (const char* tool : {"java", "javac", "jar", "python3", "zip"}) {
    if (!FindOnPath(tool)) missing += std::string(" ") + tool;
  }
  if (!missing.empty()) {
    GTEST_SKIP() << "Java's reader is the reference here, and these are not on PATH:" << missing
                 << " (scripts/setup installs them)";
  }
  testing_support::TempDir dir;
  const fs::path classes = dir / "classes";
  const fs::path archives = dir / "archives";
  fs::create_directories(classes);
  RunToEnd({"javac", "-encoding", "UTF-8", "-d", classes.string(),
            (kDifferential / "ReadEveryEntry.java").string(),
            (kDifferential / "WriteArchives.java").string()},
           dir.path());
  const std::map<std::string, std::string> written =
      Lines(RunToEnd({"python3", (kDifferential / "make_archives.py").string(), archives.string(),
                      classes.string()},
                     dir.path()));
  ASSERT_FALSE(HasFailure());
  std::vector<std::string> javaArgs = {"java", "-cp", classes.string(), "ReadEveryEntry"};
  for (const auto& [name, entries] : written) javaArgs.push_back((archives / name).string());
  const std::map<std::string, std::string> java = Lines(RunToEnd(javaArgs, dir.path()));

  int chosen = 0;
  for (const auto& [name, entries] : written) {
    SCOPED_TRACE(name);
    ASSERT_EQ(java.count(name), 1u);
    const std::string& verdict = java.at(name);
    // Each archive is what its name says it is to Java, whole: otherwise a
    // writer went wrong and the comparison below would prove nothing.
    const bool javaReads = verdict.rfind("read ", 0) == 0;
    if (name.rfind("bad-", 0) == 0) {
      EXPECT_FALSE(javaReads) << verdict;
    } else {
      EXPECT_EQ(verdict, "read " + entries);
    }
    os::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(testing_support::WindowsFormPath(archives / name))) << name;
    const upgrade::JarCheck check = upgrade::CheckJarArchive(file);
    const auto choice = kChosen.find(name);
    if (choice != kChosen.end()) {
      ++chosen;
      EXPECT_FALSE(check) << "chosen to be refused: " << choice->second;
    } else {
      EXPECT_EQ(static_cast<bool>(check), javaReads)
          << "Java: " << verdict << "; the check: " << static_cast<int>(check.fault) << " at entry "
          << check.entry;
    }
  }
  EXPECT_EQ(chosen, static_cast<int>(kChosen.size())) << "a chosen refusal was not made";
  // Every writer, and both counts past the 16-bit field, were there.
  for (const char* name : {"ok-python-streamed.zip", "ok-infozip-launcher-A.jar", "ok-jar-tool.jar",
                           "ok-java-deflated.jar", "ok-python-65535.zip",
                           "ok-java-70001-no-zip64.jar", "bad-latin1-name.zip"}) {
    EXPECT_EQ(written.count(name), 1u) << name;
  }
}

}  // namespace

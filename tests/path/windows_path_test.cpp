#include "path/windows_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Split {
  const wchar_t* path;
  const wchar_t* parent;
  const wchar_t* fileName;
};

TEST(WindowsPath, OnlyTheLastBackslashSplits) {
  const Split table[] = {
      {L"C:\\tools\\wardkeep.exe", L"C:\\tools", L"wardkeep.exe"},
      {L"D:\\orv\\stock-relay\\app\\stock-relay.jar", L"D:\\orv\\stock-relay\\app",
       L"stock-relay.jar"},
      {L"C:\\wardkeep.exe", L"C:", L"wardkeep.exe"},
      // A slash or a colon is part of a name here, as the core never writes one.
      {L"C:\\a b\\c/d.exe", L"C:\\a b", L"c/d.exe"},
      {L"C:wardkeep.exe", L"", L"C:wardkeep.exe"},
      {L"wardkeep.exe", L"", L"wardkeep.exe"},
      {L"C:\\tools\\", L"C:\\tools", L""},
      {L"\\\\server\\share\\x.jar", L"\\\\server\\share", L"x.jar"},
      {L"\\", L"", L""},
      {L"", L"", L""},
  };
  for (const Split& row : table) {
    EXPECT_EQ(path::Parent(row.path), row.parent) << row.path;
    EXPECT_EQ(path::FileName(row.path), row.fileName) << row.path;
    // Whatever has a parent is its parent and file name joined again.
    if (!std::wstring(row.parent).empty()) {
      EXPECT_EQ(path::Join(row.parent, row.fileName), row.path) << row.path;
    }
  }
}

TEST(WindowsPath, JoinPutsExactlyOneBackslashBetween) {
  const struct {
    const wchar_t* folder;
    const wchar_t* name;
    const wchar_t* joined;
  } table[] = {
      {L"D:\\orv\\stock-relay", L"app", L"D:\\orv\\stock-relay\\app"},
      {L"C:", L"stock-relay.jar", L"C:\\stock-relay.jar"},
      {L"C:\\tools", L"", L"C:\\tools\\"},
      {L"D:\\backUp", L"20240102_030405", L"D:\\backUp\\20240102_030405"},
  };
  for (const auto& row : table) EXPECT_EQ(path::Join(row.folder, row.name), row.joined);
}

TEST(WindowsPath, TheLimitLeavesRoomForTheTerminatingZero) {
  const struct {
    std::size_t length;
    bool fits;
  } table[] = {{0, true}, {259, true}, {260, false}, {4000, false}};
  for (const auto& row : table) {
    EXPECT_EQ(path::FitsMaxPath(std::wstring(row.length, L'a')), row.fits) << row.length;
  }
}

}  // namespace

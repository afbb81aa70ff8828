#include "upgrade/jar_upgrade.h"

#include <gtest/gtest.h>

namespace {

TEST(BackupTimeStamp, FullYearCalendarMonthAndTwoDigitFields) {
  EXPECT_EQ(upgrade::FormatBackupTimeStamp({2025, 1, 5, 0, 7, 9}), L"2025-01-05_00-07-09");
  EXPECT_EQ(upgrade::FormatBackupTimeStamp({2024, 12, 31, 23, 59, 60}), L"2024-12-31_23-59-60");
}

}  // namespace

#include "upgrade/command_runner.h"

#include <gtest/gtest.h>

namespace {

TEST(RunAndWait, AProgramThatCannotBeFoundIsNotRun) {
  EXPECT_FALSE(upgrade::RunAndWait(L"wardkeep-no-such-program-7f3a", L"stop stock-relay"));
  EXPECT_FALSE(upgrade::RunAndWait(L"", L""));
}

}  // namespace

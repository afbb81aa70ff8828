#include "tunable/tunable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

namespace {

using namespace std::chrono_literals;

TEST(Tunable, EachScopeRestoresWhatWasThereBeforeIt) {
  tunable::Tunable<std::string> url{"http://127.0.0.1:2405"};
  {
    tunable::ScopedTunable outer(url, "http://outer");
    {
      tunable::ScopedTunable inner(url, "http://inner");
      EXPECT_EQ(url.Get(), "http://inner");
    }
    EXPECT_EQ(url.Get(), "http://outer");
  }
  EXPECT_EQ(url.Get(), "http://127.0.0.1:2405");
}

TEST(Tunable, ADurationIsWholeMillisecondsForTheOsLayer) {
  constexpr unsigned kLongest = std::numeric_limits<unsigned>::max();
  struct Case {
    std::chrono::milliseconds duration;
    unsigned milliseconds;
  } cases[] = {
      {-1ms, 0},
      {0ms, 0},
      {1500ms, 1500},
      {std::chrono::minutes(5), 300000},
      {std::chrono::milliseconds(kLongest), kLongest},
      {std::chrono::milliseconds(kLongest) + 1ms, kLongest},
      {std::chrono::milliseconds::max(), kLongest},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tunable::WholeMilliseconds(c.duration), c.milliseconds) << c.duration.count();
  }
}

}  // namespace

#include "app/guarded.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace {

TEST(Guarded, NothingAHandlerThrowsGetsPastIt) {
  const struct {
    const char* name;
    std::function<void()> handler;
    bool completed;
  } cases[] = {
      {"returns", [] {}, true},
      {"standard exception", [] { throw std::runtime_error("x"); }, false},
      {"out of memory", [] { throw std::bad_alloc(); }, false},
      {"not an exception class", [] { throw 3; }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int runs = 0;
    const bool completed = app::Guarded([&] {
      ++runs;
      c.handler();
    });
    EXPECT_EQ(completed, c.completed);
    EXPECT_EQ(runs, 1);
  }
}

}  // namespace

// Native: the C library's environment, which posix_spawn hands on.
#include <cstdlib>

#include "support/scoped_env.h"

namespace testing_support {

void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
}

}  // namespace testing_support

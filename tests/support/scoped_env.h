#pragma once
// Sets an environment variable for a test's scope and restores it after; a
// child started meanwhile inherits the value.

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

// Sets `name` to `value`, or removes it when there is none (host's own call).
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::optional<std::string>& value) : m_name(name) {
    if (const char* old = std::getenv(name.c_str())) m_old = old;
    SetEnvironmentValue(name, value);
  }
  ~ScopedEnv() { SetEnvironmentValue(m_name, m_old); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace testing_support

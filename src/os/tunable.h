#pragma once
// A compiled-in value (a time-out, a pause, a base URL) that a test may replace
// for its own scope. Production code only ever reads it.

#include <optional>
#include <utility>

namespace os {

template <typename T>
class Tunable {
 public:
  explicit Tunable(T value) : m_default(std::move(value)) {}
  const T& Get() const { return m_override ? *m_override : m_default; }

  // Replaces the value until the end of the scope (tests only).
  class Scoped {
   public:
    Scoped(Tunable& tunable, T value) : m_tunable(tunable), m_previous(tunable.m_override) {
      m_tunable.m_override = std::move(value);
    }
    ~Scoped() { m_tunable.m_override = m_previous; }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

   private:
    Tunable& m_tunable;
    std::optional<T> m_previous;
  };

 private:
  T m_default;
  std::optional<T> m_override;
};

}  // namespace os

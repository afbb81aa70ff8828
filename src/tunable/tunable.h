#pragma once
// A compiled-in value (a time limit, a pause, a bound on bytes or attempts)
// that a test may replace for its own scope. Production code only ever reads
// it. Whom the program asks and trusts is no tunable: addresses and
// authorities are values the caller passes down.

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

namespace tunable {

template <typename T>
class ScopedTunable;

template <typename T>
class Tunable {
 public:
  explicit Tunable(T value) : m_default(std::move(value)) {}
  const T& Get() const { return m_override ? *m_override : m_default; }

 private:
  friend class ScopedTunable<T>;
  T m_default;
  std::optional<T> m_override;
};

// Replaces a tunable's value until the end of the scope (tests only). The
// value's type follows the tunable: `ScopedTunable pause(tunables::pause, 1ms)`.
template <typename T>
class ScopedTunable {
 public:
  ScopedTunable(Tunable<T>& tunable, std::type_identity_t<T> value)
      : m_tunable(tunable), m_previous(tunable.m_override) {
    m_tunable.m_override = std::move(value);
  }
  ~ScopedTunable() { m_tunable.m_override = m_previous; }
  ScopedTunable(const ScopedTunable&) = delete;
  ScopedTunable& operator=(const ScopedTunable&) = delete;

 private:
  Tunable<T>& m_tunable;
  std::optional<T> m_previous;
};

// A duration for the OS layer's millisecond counts: negative is none at all,
// and a longer one than the count holds is the longest it holds.
inline unsigned WholeMilliseconds(std::chrono::milliseconds duration) {
  return static_cast<unsigned>(std::clamp<std::chrono::milliseconds::rep>(
      duration.count(), 0, std::numeric_limits<unsigned>::max()));
}

}  // namespace tunable

#pragma once
// Native backend only: the one owner of a file descriptor, and the one loop
// that writes a whole buffer to one.

#include <cstddef>
#include <utility>

namespace os::posix {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  bool IsValid() const { return m_fd >= 0; }
  explicit operator bool() const { return IsValid(); }
  int Get() const { return m_fd; }
  int Release() { return std::exchange(m_fd, -1); }
  void Reset(int fd = -1);
  // Closes now; false when the close failed, which for a file written to may
  // mean its bytes never reached it. True when there was nothing to close.
  bool Close();

 private:
  int m_fd = -1;
};

// All `size` bytes, retried across interruptions and short writes; false on
// the first failing write.
bool WriteAll(int fd, const char* data, std::size_t size);

}  // namespace os::posix

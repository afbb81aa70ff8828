#pragma once
// The update run downloads beside the running program, which every test of the
// same executable (and parallel runs of it) shares: one holder at a time.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

namespace testing_support {

inline std::filesystem::path ProgramDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

class ProgramDirLock {
 public:
  ProgramDirLock()
      : m_fd(open((ProgramDir() / "stock-relay.jar.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC,
                  0644)) {
    if (m_fd >= 0) flock(m_fd, LOCK_EX);
  }
  ~ProgramDirLock() {
    if (m_fd >= 0) close(m_fd);
  }
  ProgramDirLock(const ProgramDirLock&) = delete;
  ProgramDirLock& operator=(const ProgramDirLock&) = delete;

 private:
  int m_fd;
};

}  // namespace testing_support

#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    std::ostringstream name;
    name << "wardkeep-test-" << random() << "-" << stamp << "-" << counter++;
    m_path = std::filesystem::temp_directory_path() / name.str();
    if (std::filesystem::create_directory(m_path)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Read-only entries left by a test must not leak the directory.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(
        it->path(), std::filesystem::perms::owner_all,
        std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ignored);
  }
  std::filesystem::remove_all(m_path, ignored);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

}  // namespace testing_support

// The parts of the read-only file both backends share.
#include "os/files.h"

namespace os {

std::int64_t ReadOnlyFile::ReadFullAt(std::int64_t offset, char* data, std::size_t size) const {
  // One read may return less than asked before the end (a pipe, a network share).
  std::size_t have = 0;
  while (have < size) {
    const std::int64_t got =
        ReadAt(offset + static_cast<std::int64_t>(have), data + have, size - have);
    if (got < 0) return -1;
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(have);
}

}  // namespace os

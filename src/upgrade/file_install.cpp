#include "upgrade/file_install.h"

#include <algorithm>
#include <vector>

#include "os/files.h"
#include "upgrade/file_system.h"

namespace upgrade {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Up to `size` bytes at `offset`, fewer only at the end; -1 on error.
std::int64_t ReadFull(const os::ReadOnlyFile& file, std::int64_t offset, char* data,
                      std::size_t size) {
  std::size_t have = 0;
  while (have < size) {
    std::int64_t got =
        file.ReadAt(offset + static_cast<std::int64_t>(have), data + have, size - have);
    if (got < 0) return -1;
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(have);
}

}  // namespace

std::wstring TemporaryPathFor(const std::wstring& target) {
  return target + L".part";
}

bool SameFileContents(const std::wstring& first, const std::wstring& second) {
  os::ReadOnlyFile a;
  os::ReadOnlyFile b;
  if (!a.Open(first) || !b.Open(second)) return false;
  const std::int64_t size = a.Size();
  if (size < 0 || size != b.Size()) return false;
  std::vector<char> left(kChunk);
  std::vector<char> right(kChunk);
  for (std::int64_t offset = 0;;) {
    std::int64_t gotLeft = ReadFull(a, offset, left.data(), left.size());
    std::int64_t gotRight = ReadFull(b, offset, right.data(), right.size());
    if (gotLeft < 0 || gotLeft != gotRight) return false;
    if (gotLeft == 0) return offset == size;
    if (!std::equal(left.begin(), left.begin() + gotLeft, right.begin())) return false;
    offset += gotLeft;
  }
}

bool CopyWholeFile(const std::wstring& source, const std::wstring& target) {
  // A read-only source gives a read-only copy, which cannot be opened to be
  // forced to disk, nor replaced or cleaned up later.
  return os::CopyOneFile(source, target, false) && os::MakeWritable(target) &&
         os::FlushFileToDisk(target) && SameFileContents(source, target);
}

bool ReplaceFileWhole(const std::wstring& source, const std::wstring& target) {
  const std::wstring temporary = TemporaryPathFor(target);
  DeletePathTree(temporary);
  if (CopyWholeFile(source, temporary) && os::ReplaceFileAtomically(temporary, target)) return true;
  // A full disk is the likely cause: give the space back.
  DeletePathTree(temporary);
  return false;
}

}  // namespace upgrade

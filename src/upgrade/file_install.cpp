#include "upgrade/file_install.h"

#include <algorithm>
#include <vector>

#include "os/files.h"
#include "upgrade/file_system.h"

namespace upgrade {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

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
    std::int64_t gotLeft = a.ReadFullAt(offset, left.data(), left.size());
    std::int64_t gotRight = b.ReadFullAt(offset, right.data(), right.size());
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

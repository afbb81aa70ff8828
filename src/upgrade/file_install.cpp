#include "upgrade/file_install.h"

#include <algorithm>
#include <vector>

#include "os/errors.h"

namespace upgrade {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Appends every byte of `source` to `target`; false on the first failure.
bool CopyInto(const os::ReadOnlyFile& source, os::StagedFile& target) {
  std::vector<char> buffer(kChunk);
  for (std::int64_t offset = 0;;) {
    const std::int64_t got = source.ReadFullAt(offset, buffer.data(), buffer.size());
    if (got < 0) return false;
    if (got == 0) return true;
    if (!target.Write(buffer.data(), static_cast<std::size_t>(got))) return false;
    offset += got;
  }
}

}  // namespace

std::wstring TemporaryNameFor(const std::wstring& name) {
  return name + L".part";
}

bool SameFileContents(const os::ReadOnlyFile& a, const os::ReadOnlyFile& b) {
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

bool ClearLeftover(const os::HeldFolder& folder, const std::wstring& name) {
  switch (os::KindOfEntryIn(folder, name)) {
    case os::EntryKind::Missing:
      return true;
    case os::EntryKind::File:
    case os::EntryKind::Link:
      // A read-only leftover cannot be deleted as it is.
      if (!os::DeleteFileIn(folder, name)) {
        os::MakeWritableIn(folder, name);
        os::DeleteFileIn(folder, name);
      }
      return os::KindOfEntryIn(folder, name) == os::EntryKind::Missing;
    case os::EntryKind::Folder:
    case os::EntryKind::Other:
      break;
  }
  return false;
}

os::Error ReplaceFileWhole(const os::HeldFolder& from, const std::wstring& fromName,
                           const os::HeldFolder& to, const std::wstring& toName) {
  // Each step's cause is taken at the step: a successful call before it may
  // have left a stale number, and the clean-up after it may set its own.
  const auto failed = [](const wchar_t* what) { return os::LastErrorOr(what); };
  os::ClearLastError();
  os::ReadOnlyFile source;
  if (!source.OpenIn(from, fromName)) return failed(L"无法打开源文件");
  const std::wstring temporary = TemporaryNameFor(toName);
  os::ClearLastError();
  if (!ClearLeftover(to, temporary)) return failed(L"临时文件的名称已被占用");
  os::StagedFile copy;
  // A full disk is the likely failure: the staged copy gives the space back
  // when it is discarded.
  os::ClearLastError();
  if (!copy.Create(to, temporary)) return failed(L"无法创建临时文件");
  os::ClearLastError();
  if (!CopyInto(source, copy) || !copy.FlushToDisk()) return failed(L"无法写入临时文件");
  if (!SameFileContents(source, copy.Contents())) return {0, L"复制的文件与源文件不同"};
  os::ClearLastError();
  if (!copy.MoveOver(toName)) return failed(L"无法移到目标位置");
  return {};
}

}  // namespace upgrade

#include "upgrade/file_system.h"

#include "os/errors.h"
#include "os/files.h"
#include "path/windows_path.h"
#include "upgrade/progress.h"

namespace upgrade {

namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// Where the search for separators begins, so that no root is ever created.
std::size_t ScanStart(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) return 3;
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    // \\server\share: the share is the first prefix tried.
    std::size_t serverEnd = path.find(L'\\', 2);
    return serverEnd == std::wstring::npos ? path.size() : serverEnd + 1;
  }
  // Rooted on the current drive (\a\b): the root itself is not a directory to make.
  if (IsSeparator(path[0])) return 1;
  return 0;
}

bool MakeOneLevel(const std::wstring& path) {
  os::ClearLastError();
  if (os::MakeDirectory(path) != os::MakeDirectoryResult::Failed) return true;
  const std::wstring cause = os::LastErrorText();
  Say(L"创建目录失败: " + path);
  SayCause(cause);
  return false;
}

}  // namespace

bool DirectoryExists(const std::wstring& path) {
  if (path.empty()) return false;
  std::uint32_t attributes = os::FileAttributes(path);
  return attributes != os::kInvalidFileAttributes && (attributes & os::kAttributeDirectory) != 0;
}

bool CreateDirectoryTree(const std::wstring& path) {
  if (path.empty()) {
    Say(L"错误: 空路径");
    return false;
  }
  if (!path::FitsMaxPath(path)) {
    Say(L"错误: 路径过长，超过MAX_PATH限制");
    return false;
  }
  // A zero inside the text would cut the path short on its way to the system.
  if (path.find(L'\0') != std::wstring::npos) {
    Say(L"错误: 路径复制失败");
    return false;
  }
  for (std::size_t i = ScanStart(path); i < path.size(); ++i) {
    if (IsSeparator(path[i]) && !MakeOneLevel(path.substr(0, i))) return false;
  }
  return MakeOneLevel(path);
}

bool DeletePathTree(const std::wstring& path) {
  // The entry itself, not what a link points to: a dangling link is still there.
  std::uint32_t attributes = os::FileAttributes(path);
  if (attributes == os::kInvalidFileAttributes) return false;
  const bool directory = (attributes & os::kAttributeDirectory) != 0;
  if ((attributes & os::kAttributeReparsePoint) != 0) {
    // Descending would delete what lies outside the tree.
    if (directory) {
      os::RemoveEmptyDirectory(path);
    } else {
      os::DeleteOneFile(path);
    }
    return true;
  }
  if (!directory) {
    os::DeleteOneFile(path);
    return true;
  }
  {
    os::DirectoryListing listing(path);
    std::wstring name;
    while (listing.Next(name)) {
      if (name == L"." || name == L"..") continue;
      DeletePathTree(path::Join(path, name));
    }
  }
  os::RemoveEmptyDirectory(path);
  return true;
}

}  // namespace upgrade

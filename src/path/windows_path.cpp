#include "path/windows_path.h"

namespace path {

std::wstring Parent(const std::wstring& path) {
  const std::size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring FileName(const std::wstring& path) {
  const std::size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  std::wstring joined;
  joined.reserve(folder.size() + 1 + name.size());
  return joined.append(folder).append(1, L'\\').append(name);
}

bool FitsMaxPath(const std::wstring& path) {
  return path.size() < kMaxPath;
}

}  // namespace path

#include "app/program_path.h"

#include "os/files.h"
#include "os/session.h"

namespace app {

std::wstring DirectoryWithTrailingBackslash(const std::wstring& path) {
  std::size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::wstring GetExeDirectory() {
  return DirectoryWithTrailingBackslash(os::ModuleFileName());
}

std::wstring GetExeFileName() {
  return os::PathFileNamePart(os::ModuleFileName());
}

}  // namespace app

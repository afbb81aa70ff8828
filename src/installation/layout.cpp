#include "installation/layout.h"

#include "os/files.h"
#include "os/session.h"

namespace installation {

namespace {

bool IsRegularFile(const std::wstring& path) {
  const std::uint32_t attributes = os::FileAttributes(path);
  return attributes != os::kInvalidFileAttributes &&
         (attributes & (os::kAttributeDirectory | os::kAttributeReparsePoint)) == 0;
}

bool IsLink(const std::wstring& path) {
  const std::uint32_t attributes = os::FileAttributes(path);
  return attributes != os::kInvalidFileAttributes && (attributes & os::kAttributeReparsePoint) != 0;
}

}  // namespace

std::optional<Layout> FindInstallation() {
  for (const wchar_t* drive : {L"D:", L"C:"}) {
    Layout candidate{path::Join(path::Join(drive, L"orv"), kServiceName)};
    if (IsRegularFile(candidate.InstalledJar())) return candidate;
  }
  return std::nullopt;
}

std::wstring FindLinkInPath(const Layout& layout) {
  // Every folder from the drive's first level down to the root, then the two
  // folders the upgrade writes into; a missing one is no link.
  for (std::size_t cut = layout.root.find(L'\\', 3);; cut = layout.root.find(L'\\', cut + 1)) {
    const std::wstring folder = layout.root.substr(0, cut);
    if (IsLink(folder)) return folder;
    if (cut == std::wstring::npos) break;
  }
  for (const std::wstring& folder : {layout.AppDirectory(), layout.BackupDirectory()}) {
    if (IsLink(folder)) return folder;
  }
  return {};
}

std::wstring ProgramDirectory() {
  const os::ModulePath program = os::ReadModulePath();
  return program.whole ? path::Parent(program.text) : std::wstring();
}

}  // namespace installation

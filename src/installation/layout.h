#pragma once
// Where the installation lives and what it holds: one home for the root, its
// "app" and "backUp" folders, the upload service's name and JAR, and the Redis
// client. Every user of these asks here.

#include <optional>
#include <string>

#include "path/windows_path.h"

namespace installation {

// The upload service: its Windows service, the base name of its JAR and the
// name of its installation folder.
constexpr const wchar_t* kServiceName = L"stock-relay";
constexpr const wchar_t* kJarFileName = L"stock-relay.jar";
// The installation's Redis server on this machine, which the button empties.
constexpr unsigned short kRedisPort = 16380;

struct Layout {
  std::wstring root;  // D:\orv\stock-relay, no trailing backslash

  std::wstring AppDirectory() const { return path::Join(root, L"app"); }
  std::wstring BackupDirectory() const { return path::Join(root, L"backUp"); }
  std::wstring InstalledJar() const { return path::Join(AppDirectory(), kJarFileName); }
};

// The root whose app\stock-relay.jar is a regular file: D:\orv\stock-relay
// first, then C:\orv\stock-relay. An empty or half-made folder is not an
// installation, so a folder someone created on D: does not take over.
std::optional<Layout> FindInstallation();

// The first folder among the root, app\ and backUp\ (and the folders above the
// root) that is a link, junction or other reparse point; empty when none is.
// Whoever can plant one decides where the install and its backup really go.
std::wstring FindLinkInPath(const Layout& layout);

// The running program's folder, without a trailing backslash: where the update
// run downloads and what the autostart entry names. Empty when the platform
// gave the program's path cut short, which may end inside a folder's name and
// so point at an ancestor, or when the path has no folder.
std::wstring ProgramDirectory();

}  // namespace installation

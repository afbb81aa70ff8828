#pragma once
// Where the installation lives and what it holds: one home for the root, its
// "app" and "backUp" folders, the upload service's name and JAR, and the Redis
// port. Every user of these asks here.

#include <optional>
#include <string>
#include <vector>

#include "os/folder.h"
#include "path/windows_path.h"

namespace installation {

// The upload service: its Windows service, the base name of its JAR and the
// name of its installation folder.
constexpr const wchar_t* kServiceName = L"stock-relay";
constexpr const wchar_t* kJarFileName = L"stock-relay.jar";
constexpr const wchar_t* kAppFolderName = L"app";
constexpr const wchar_t* kBackupFolderName = L"backUp";
// The installation's Redis server on this machine, which the button empties.
constexpr unsigned short kRedisPort = 16380;

struct Layout {
  std::wstring root;  // D:\orv\stock-relay, no trailing backslash

  std::wstring AppDirectory() const { return path::Join(root, kAppFolderName); }
  std::wstring BackupDirectory() const { return path::Join(root, kBackupFolderName); }
  std::wstring InstalledJar() const { return path::Join(AppDirectory(), kJarFileName); }
};

// An installation's folders opened once and held for a whole run: "orv", the
// root and "app", each checked on its handle to be a real folder (no link)
// owned by administrators. Everything the run does in them goes through these
// handles, never by path again.
struct PinnedInstallation {
  Layout layout;
  os::HeldFolder orv;
  os::HeldFolder root;
  os::HeldFolder app;
};

enum class PinFault {
  None,
  Missing,     // a folder is not there: no installation, nothing to say
  NotFixed,    // the drive is removable, a share or not a disk
  Link,        // a folder on the way is a link, junction or other reparse point
  NotAFolder,  // a file stands where a folder is expected
  NotOwned,    // a folder is owned by someone other than the administrators
  Unreadable,  // a folder could not be opened
};

struct Pin {
  std::optional<PinnedInstallation> installation;
  PinFault fault = PinFault::Missing;
  std::wstring where;  // the folder (or drive) the fault was found at
};

// Opens and checks `root` ("D:\orv\stock-relay"): its drive must be a fixed
// disk, and "orv", the root and "app" real folders owned by Administrators,
// SYSTEM or TrustedInstaller (natively by root). Anyone else who could make
// or own one of them could decide what the watchdog installs, and where.
// `alsoCountedOwner` (an owner as os::HeldFolder::OwnerId names it) counts
// besides them: none in the program; a test under Wine, which keeps no
// owners, names the prefix's user.
Pin PinRoot(const std::wstring& root, const std::wstring& alsoCountedOwner = {});

// Why a root was passed over, for a progress line ("D:\orv 的所有者不是…").
std::wstring DescribePinFault(const Pin& pin);

struct Search {
  std::optional<PinnedInstallation> installation;
  // One line for each root that is there but does not count, and why.
  std::vector<std::wstring> passedOver;
};

// D:\orv\stock-relay first, then C:\orv\stock-relay: the first that pins and
// whose app\stock-relay.jar is a regular file. An empty or half-made folder
// is not an installation, and one that fails a check is passed over, so a
// folder some user created on D: does not take over.
Search FindPinnedInstallation(const std::wstring& alsoCountedOwner = {});

// The layout of what FindPinnedInstallation finds, the folders released.
std::optional<Layout> FindInstallation();

}  // namespace installation

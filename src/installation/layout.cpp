#include "installation/layout.h"

namespace installation {

namespace {

PinFault FaultOf(os::FolderOpenResult result) {
  switch (result) {
    case os::FolderOpenResult::Opened:
      return PinFault::None;
    case os::FolderOpenResult::Missing:
      return PinFault::Missing;
    case os::FolderOpenResult::NotAFolder:
      return PinFault::NotAFolder;
    case os::FolderOpenResult::Link:
      return PinFault::Link;
    case os::FolderOpenResult::Failed:
      break;
  }
  return PinFault::Unreadable;
}

bool OwnerCounts(const os::HeldFolder& folder, const std::wstring& alsoCounted) {
  if (folder.OwnedByAdministrators()) return true;
  return !alsoCounted.empty() && folder.OwnerId() == alsoCounted;
}

// Opens one level and checks its owner; false with the fault set in `pin`.
bool Hold(Pin& pin, os::HeldFolder& folder, os::FolderOpenResult opened, const std::wstring& where,
          const std::wstring& alsoCounted) {
  pin.fault = FaultOf(opened);
  if (pin.fault == PinFault::None && !OwnerCounts(folder, alsoCounted)) {
    pin.fault = PinFault::NotOwned;
  }
  if (pin.fault == PinFault::None) return true;
  pin.where = where;
  return false;
}

}  // namespace

Pin PinRoot(const std::wstring& root, const std::wstring& alsoCountedOwner) {
  Pin pin;
  PinnedInstallation held{Layout{root}, {}, {}, {}};
  const std::wstring orvPath = path::Parent(root);
  const std::wstring name = path::FileName(root);
  if (orvPath.size() < 4 || orvPath[1] != L':' || name.empty()) {
    pin.fault = PinFault::Missing;
    pin.where = root;
    return pin;
  }
  if (!Hold(pin, held.orv, held.orv.Open(orvPath), orvPath, alsoCountedOwner)) return pin;
  // Removable media, a share or a RAM disk: anyone may bring or map one.
  if (!os::IsFixedDrive(root[0])) {
    pin.fault = PinFault::NotFixed;
    pin.where = root.substr(0, 2);
    return pin;
  }
  if (!Hold(pin, held.root, held.root.OpenIn(held.orv, name), root, alsoCountedOwner)) return pin;
  if (!Hold(pin, held.app, held.app.OpenIn(held.root, kAppFolderName), held.layout.AppDirectory(),
            alsoCountedOwner)) {
    return pin;
  }
  pin.installation = std::move(held);
  return pin;
}

std::wstring DescribePinFault(const Pin& pin) {
  switch (pin.fault) {
    case PinFault::None:
    case PinFault::Missing:
      break;
    case PinFault::NotFixed:
      return pin.where + L" 不是固定磁盘";
    case PinFault::Link:
      return pin.where + L" 是链接或联接点";
    case PinFault::NotAFolder:
      return pin.where + L" 不是文件夹";
    case PinFault::NotOwned:
      return pin.where + L" 的所有者不是 Administrators、SYSTEM 或 TrustedInstaller";
    case PinFault::Unreadable:
      return L"无法打开 " + pin.where;
  }
  return pin.where + L" 不存在";
}

Search FindPinnedInstallation(const std::wstring& alsoCountedOwner) {
  Search search;
  for (const wchar_t* drive : {L"D:", L"C:"}) {
    const std::wstring root = path::Join(path::Join(drive, L"orv"), kServiceName);
    Pin pin = PinRoot(root, alsoCountedOwner);
    if (pin.installation) {
      if (os::KindOfEntryIn(pin.installation->app, kJarFileName) == os::EntryKind::File) {
        search.installation = std::move(pin.installation);
        return search;
      }
    } else if (pin.fault != PinFault::Missing) {
      search.passedOver.push_back(L"跳过 " + root + L": " + DescribePinFault(pin));
    }
  }
  return search;
}

std::optional<Layout> FindInstallation() {
  Search search = FindPinnedInstallation();
  if (!search.installation) return std::nullopt;
  return search.installation->layout;
}

}  // namespace installation

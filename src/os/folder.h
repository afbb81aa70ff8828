#pragma once
// Folders opened once and held, and the file operations made inside them: the
// installation is found, checked and then only ever reached through these
// handles, so a link or a folder swapped in by name afterwards changes nothing.

#include <cstdint>
#include <memory>
#include <string>

#include "os/errors.h"
#include "os/files.h"

namespace os {

enum class FolderOpenResult {
  Opened,
  Missing,     // nothing of that name
  NotAFolder,  // a file or anything else that is not a folder
  Link,        // a symbolic link, junction or other reparse point
  Failed,      // no permission, or the system refused
};

// One folder, held for as long as the object lives. Windows: a handle opened
// without sharing deletion, so the folder can be neither renamed nor removed
// nor replaced meanwhile. Natively: a descriptor (O_DIRECTORY|O_NOFOLLOW);
// the folder may be renamed, but whatever is done through this object still
// happens in it.
class HeldFolder {
 public:
  HeldFolder() = default;
  HeldFolder(HeldFolder&&) noexcept = default;
  HeldFolder& operator=(HeldFolder&&) noexcept = default;
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;

  // A drive's folder ("D:\orv"): the drive's root as the system has it, then
  // each folder below it opened inside the one before, none through a link.
  // Only the last one is held. A held folder is released first.
  FolderOpenResult Open(const std::wstring& path);
  // The folder `name` (one level, no separator) inside `parent`, checked on
  // the handle itself to be a real folder, no link.
  FolderOpenResult OpenIn(const HeldFolder& parent, const std::wstring& name);
  bool IsOpen() const { return m_folder != nullptr; }
  void Close();
  // Where it was opened: on Windows, where nobody can rename it while it is
  // held, the way to the entries inside it; natively no longer the truth once
  // someone renamed it.
  const std::wstring& Path() const { return m_path; }
  // Owned by an account only administrators act as: Windows Administrators,
  // SYSTEM or TrustedInstaller (the owner read from the handle); natively
  // root or the program's own account. False when the owner cannot be read.
  bool OwnedByAdministrators() const;
  // The owner as the system names it (Windows "S-1-5-…", natively the uid);
  // empty when it cannot be read.
  std::wstring OwnerId() const;

  // The backend's own handle; null when nothing is held.
  const NativeFile* Native() const { return m_folder.get(); }

 private:
  // Holds `folder`, opened at `path`, in place of whatever was held.
  void Hold(NativeFilePtr folder, std::wstring path);

  NativeFilePtr m_folder;
  std::wstring m_path;
};

// Whether a drive letter names a fixed disk (not removable media, a network
// share or a RAM disk). Natively every mapped drive counts as fixed.
bool IsFixedDrive(wchar_t letter);

// What an entry is, the entry itself: a link is a link, whatever it points to.
// Link covers symbolic links, junctions and every other reparse point.
enum class EntryKind { Missing, File, Folder, Link, Other };

enum class MakeDirectoryResult {
  Created,
  AlreadyExists,  // something of that name is there, directory or not
  Failed,
};

// What `name` inside `folder` is, the entry itself (a link is not followed).
// Missing when nothing can be read there; the cause (not found, or denied) is
// then the last error.
EntryKind KindOfEntryIn(const HeldFolder& folder, const std::wstring& name);

// One folder `name` inside `folder`.
MakeDirectoryResult MakeFolderIn(const HeldFolder& folder, const std::wstring& name);

// A folder this call made and nobody else, held: `base`, else `base_2`,
// `base_3`, … within `tries` names. A name anything already has (a folder, a
// file, a link) is passed over, never taken over.
struct FreshFolder {
  enum class Outcome { Made, AllNamesTaken, Failed };
  Outcome outcome = Outcome::Failed;
  std::wstring name;  // the name made, or the one that could not be
  HeldFolder folder;  // held when Made
  Error error;        // why, when Failed and the system said
};
FreshFolder MakeFreshFolderIn(const HeldFolder& parent, const std::wstring& base, int tries);

// Deletes the file or link `name` inside `folder` (never a folder, never what
// a link points to).
bool DeleteFileIn(const HeldFolder& folder, const std::wstring& name);

// A second name `toName` in `to` for the file `fromName` in `from` (same
// volume). Never follows a link at either name; fails when `toName` exists.
bool LinkFileIn(const HeldFolder& from, const std::wstring& fromName, const HeldFolder& to,
                const std::wstring& toName);

// Moves `fromName` over `toName` inside `folder` in one step, then forces the
// folder to disk as far as the system lets it.
bool ReplaceFileIn(const HeldFolder& folder, const std::wstring& fromName,
                   const std::wstring& toName);

// Clears the read-only attribute (Windows) / adds the owner's write bit
// (natively) of the file `name` inside `folder`, never through a link.
bool MakeWritableIn(const HeldFolder& folder, const std::wstring& name);

// Held by one run at a time across every session of the machine: taken on the
// held folder itself (natively flock on its descriptor; Windows a file inside
// it, opened unshared and deleted on close). Whoever could take it first could
// write into the folder anyway. Released when destroyed.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // False when another holds it or it cannot be taken.
  bool TryAcquire(const HeldFolder& folder);

 private:
  NativeFilePtr m_lock;
};

}  // namespace os

#pragma once
// File-system services on Windows-form paths ("D:\orv\x"). The native backend
// maps drive letters to directories (see drive_map in the posix backend).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace os {

class HeldFolder;

// Deletes a file, or a link that does not stand for a directory. Refuses a
// read-only file, as the platform does, whoever asks: Windows the read-only
// attribute; natively a mode without any write bit (owner, group, others),
// root's rights notwithstanding.
bool DeleteOneFile(const std::wstring& path);

// An open file as the backend holds it (a descriptor, a handle), closed when
// released; defined by the backend so no OS type reaches this header.
struct NativeFile;
struct NativeFileRelease {
  void operator()(NativeFile* file) const noexcept;
};
using NativeFilePtr = std::unique_ptr<NativeFile, NativeFileRelease>;

// --- Installing a file: read it whole, force it to disk, move it into place ---

// One file opened for reading at any offset; closed when destroyed.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False for a missing file, a directory or no permission.
  bool Open(const std::wstring& path);
  // The regular file `name` inside the held folder, never through a link.
  bool OpenIn(const HeldFolder& folder, const std::wstring& name);
  bool IsOpen() const { return m_file != nullptr; }
  // Length in bytes (64-bit); -1 when closed or not measurable.
  std::int64_t Size() const;
  // Up to `size` bytes from `offset`, fewer only at the end of the file: the
  // count read (0 at the end), -1 on error.
  std::int64_t ReadFullAt(std::int64_t offset, char* data, std::size_t size) const;
  void Close() { m_file.reset(); }

 private:
  // One read of the system's: it may stop short before the end.
  std::int64_t ReadAt(std::int64_t offset, char* data, std::size_t size) const;

  // A staged file reads back through the handle it writes with.
  friend class StagedFile;

  NativeFilePtr m_file;
};

// A new file made for an install: created exclusively (fails when anything, a link
// included, is already at the path), never following a link; while held, others may read
// it but not write, delete or rename it (Windows: share read only; natively only the
// owner may write it, mode 0600). Written, forced to disk, read back and moved into place
// through the same handle, so the bytes checked are the bytes moved. A file that was not
// moved is deleted when the object is destroyed.
class StagedFile {
 public:
  StagedFile();
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The file `name` inside the held folder, which the staged file keeps using
  // for its move and its removal whatever happens to the folder's name. False
  // when anything is at `name` or it cannot be made; a held file is discarded
  // first.
  bool Create(const HeldFolder& folder, const std::wstring& name);
  bool IsOpen() const { return m_contents.IsOpen(); }
  // Appends all bytes or returns false.
  bool Write(const char* data, std::size_t size);
  // Drops every byte written so far; the next write starts the file afresh.
  bool Truncate();
  bool FlushToDisk();
  // Reads through the held handle (ReadFullAt/Size); closed when nothing is held.
  const ReadOnlyFile& Contents() const { return m_contents; }
  // Moves the held file over `target` in one step, replacing it; true once
  // the move has happened and `target` is the held file. Only the file name
  // of `target` counts: the move stays in the staged file's own folder.
  // Windows: a rename of the held handle itself (falling back to a move by
  // name only where the system cannot rename a handle); natively rename(2),
  // then a check that `target` is the held inode, and the directory forced to
  // disk. The file stays held (readable) under its new name.
  bool MoveOver(const std::wstring& target);
  // Deletes the file now (if not moved) and closes it.
  void Discard();

 private:
  ReadOnlyFile m_contents;
  NativeFilePtr m_folder;  // the folder it was made in
  std::wstring m_path;     // Windows-form, for the system calls that take one
  std::wstring m_name;     // its name inside m_folder
  bool m_moved = false;
};

// --- The download target: one file opened for appending, bytes as given ------

// Owns the open file; closed when destroyed. Nothing is buffered in memory:
// Write hands every chunk straight to the platform.
class AppendFile {
 public:
  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates the file when missing; existing bytes stay and writes go to its
  // end. False for a directory, a missing drive or folder, or no permission.
  bool Open(const std::wstring& path);
  bool IsOpen() const { return m_file != nullptr; }
  // Current length in bytes (64-bit); -1 when closed or not measurable.
  std::int64_t Size() const;
  // Drops every byte so that writing starts the file afresh.
  bool Truncate();
  // All `size` bytes, or false.
  bool Write(const char* data, std::size_t size);
  void Close() { m_file.reset(); }

 private:
  NativeFilePtr m_file;
};

}  // namespace os

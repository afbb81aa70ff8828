// Windows backend of the files service: the W file and path functions, nothing else.
#include "os/files.h"

#include <windows.h>

#include "os/win32/native_file.h"
#include "os/win32/scoped_handle.h"

namespace os {

void NativeFileRelease::operator()(NativeFile* file) const noexcept {
  delete file;
}

FileStatus StatusOf(const std::wstring& path) {
  // The entry's own attributes: a link's, never its target's.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  FileStatus status;
  // Every reparse point counts as a link, whatever its tag, as it does for
  // the held folders: none is a plain entry the program may go through.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    status.kind = EntryKind::Link;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.kind = EntryKind::Folder;
  } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    status.kind = EntryKind::Other;
  } else {
    status.kind = EntryKind::File;
  }
  status.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return status;
}

MakeDirectoryResult MakeDirectory(const std::wstring& path) {
  if (::CreateDirectoryW(path.c_str(), nullptr)) return MakeDirectoryResult::Created;
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? MakeDirectoryResult::AlreadyExists
                                                  : MakeDirectoryResult::Failed;
}

bool DeleteOneFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const std::wstring& path) {
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool CopyOneFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
  return ::CopyFileW(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

struct DirectoryListing::Impl {
  win32::FindHandle find;
  WIN32_FIND_DATAW pending{};
  bool hasPending = false;
};

DirectoryListing::DirectoryListing(const std::wstring& directory) : m_impl(new Impl) {
  std::wstring pattern = directory;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  m_impl->find.Reset(::FindFirstFileW(pattern.c_str(), &m_impl->pending));
  m_impl->hasPending = m_impl->find.IsValid();
}

DirectoryListing::~DirectoryListing() = default;
DirectoryListing::DirectoryListing(DirectoryListing&&) noexcept = default;
DirectoryListing& DirectoryListing::operator=(DirectoryListing&&) noexcept = default;

bool DirectoryListing::IsOpen() const {
  return m_impl && m_impl->find.IsValid();
}

bool DirectoryListing::Next(std::wstring& name) {
  if (!IsOpen()) return false;
  if (!m_impl->hasPending && !::FindNextFileW(m_impl->find.Get(), &m_impl->pending)) return false;
  m_impl->hasPending = false;
  name = m_impl->pending.cFileName;
  return true;
}

}  // namespace os

// The parts of the held folder both backends share.
#include "os/folder.h"

#include <utility>

#include "os/folder_path.h"

namespace os {

void HeldFolder::Close() {
  m_folder.reset();
  m_path.clear();
}

void HeldFolder::Hold(NativeFilePtr folder, std::wstring path) {
  m_folder = std::move(folder);
  m_path = std::move(path);
}

FreshFolder MakeFreshFolderIn(const HeldFolder& parent, const std::wstring& base, int tries) {
  FreshFolder fresh;
  for (int attempt = 1; attempt <= tries; ++attempt) {
    fresh.name = attempt == 1 ? base : base + L"_" + std::to_wstring(attempt);
    ClearLastError();
    const MakeDirectoryResult made = MakeFolderIn(parent, fresh.name);
    if (made == MakeDirectoryResult::AlreadyExists) continue;
    if (made == MakeDirectoryResult::Failed) {
      fresh.error = LastError();
      return fresh;
    }
    // Made by this call; opened inside the parent, so what is held is it.
    if (fresh.folder.OpenIn(parent, fresh.name) != FolderOpenResult::Opened) {
      fresh.error = LastError();
      return fresh;
    }
    fresh.outcome = FreshFolder::Outcome::Made;
    return fresh;
  }
  fresh.outcome = FreshFolder::Outcome::AllNamesTaken;
  fresh.name.clear();
  return fresh;
}

namespace folder {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

std::optional<FolderPath> ReadFolderPath(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || !IsSeparator(path[2])) return std::nullopt;
  FolderPath read;
  read.drive = path[0];
  std::size_t begin = 3;
  while (begin < path.size()) {
    std::size_t end = begin;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > begin) read.levels.push_back(path.substr(begin, end - begin));
    begin = end + 1;
  }
  return read;
}

}  // namespace folder

}  // namespace os

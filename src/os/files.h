#pragma once
// File-system services on Windows-form paths ("D:\orv\x"). The native backend
// maps drive letters to directories (see drive_map in the posix backend).

#include <cstdint>
#include <string>

namespace os {

// Attribute bits as the platform numbers them; what the program tests for.
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kAttributeReadOnly = 0x1u;
constexpr std::uint32_t kAttributeDirectory = 0x10u;
constexpr std::uint32_t kAttributeReparsePoint = 0x400u;

// kInvalidFileAttributes when nothing can be read at the path.
std::uint32_t FileAttributes(const std::wstring& path);

bool PathExists(const std::wstring& path);

// The file-name part of a path, as the platform's path helper finds it.
std::wstring PathFileNamePart(const std::wstring& path);

}  // namespace os

#pragma once
// Windows-form paths as the core speaks them (D:\orv\stock-relay\app): only a
// backslash separates, on both targets. Text only; nothing here asks the disk.

#include <cstddef>
#include <string>

namespace path {

// The longest path the platform's plain calls take, its terminating zero included.
constexpr std::size_t kMaxPath = 260;

// Everything before the last backslash; empty when there is none.
std::wstring Parent(const std::wstring& path);

// Everything after the last backslash; the whole text when there is none.
std::wstring FileName(const std::wstring& path);

// `folder` + "\" + `name`.
std::wstring Join(const std::wstring& folder, const std::wstring& name);

// Whether the path fits within kMaxPath: a longer one would reach the platform cut short.
bool FitsMaxPath(const std::wstring& path);

}  // namespace path

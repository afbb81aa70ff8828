#pragma once
// Makes the Administrators group the owner of a folder, as an installer run
// by an administrator leaves it; the update run counts only such roots.

#include <filesystem>

namespace testing_support::win32 {

// True when the owner was set (and reads back as Administrators).
bool GiveToAdministrators(const std::filesystem::path& path);

}  // namespace testing_support::win32

#pragma once
// The Windows-form path ("C:\tmp\x\file") under which the program reaches a
// file the test made on the host.

#include <filesystem>
#include <string>

namespace testing_support {

std::wstring WindowsFormPath(const std::filesystem::path& hostPath);

}  // namespace testing_support

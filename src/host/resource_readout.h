#pragma once
// The machine figures beside the dialog's labels.

#include <cstdint>
#include <string>

namespace host {

// Whole mebibytes of the available memory, low 32 bits, plain decimal.
std::wstring FormatMemoryMegabytes(std::uint64_t availableBytes);
// Bytes as units of 2^30 with two decimals and " GB".
std::wstring FormatGigabytes(std::uint64_t bytes);
// Free space available to the caller on the drive `root` ("C:\"), or empty
// text when it cannot be read.
std::wstring FormatDiskFree(const std::wstring& root);

// The machine's available memory, as FormatMemoryMegabytes shows it.
std::wstring AvailableMemoryText();
// True when the drive `root` ("D:\") is a fixed disk.
bool IsFixedDrive(const std::wstring& root);

}  // namespace host

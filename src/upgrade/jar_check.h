#pragma once
// Whether a file is a whole ZIP archive, as a JAR must be: the end record where
// the file's length puts it, a central directory that agrees with every local
// header, and every entry inflating to the size and CRC-32 it declares.
// The archive is found from its end, as Java finds it: data before the first
// entry (the launcher stub of a self-running JAR) is allowed unless it starts
// as an archive itself, and offsets are taken relative to where the central
// directory really is. ZIP64 records are read as Java reads them, within the
// same bounds, and so is an end record without them: its 0xFFFF values as they
// stand, and an entry count wrapped at 65,536 by a writer that knows no ZIP64.
// Entry names are compared as bytes and must be UTF-8, as Java requires.

#include <cstdint>
#include <string>

namespace os {
class ReadOnlyFile;
}

namespace upgrade {

// Bounds against archives built to exhaust the machine.
constexpr std::uint64_t kMaxJarUncompressedBytes = std::uint64_t{2} << 30;  // 2 GiB in total
constexpr std::uint32_t kMaxCentralDirectoryBytes = 16u << 20;

enum class JarFault {
  None,
  Unreadable,        // cannot be opened or read
  NoEndRecord,       // no end record where the length says it must be
  Zip64,             // ZIP64 records missing where announced, or disagreeing
  MultiDisk,         // spanned archives are not JARs
  CentralDirectory,  // out of bounds, not contiguous, or malformed
  TooLarge,          // beyond the bounds above
  LocalHeader,       // disagrees with the central directory, or overlaps
  Unsupported,       // encrypted, or neither stored nor deflated
  Corrupt,           // the deflated data does not inflate
  SizeMismatch,      // inflates to another size than declared
  CrcMismatch,       // CRC-32 differs from the declared one
  Embedded,          // what precedes the archive starts as an archive itself
  EntryName,         // an entry name that is not UTF-8, which Java refuses
};

struct JarCheck {
  JarFault fault = JarFault::None;
  std::uint32_t entry = 0;  // 1-based entry number for entry faults; 0 otherwise
  explicit operator bool() const { return fault == JarFault::None; }
};

// Reads the whole file in pieces (bounded memory) and inflates every entry.
JarCheck CheckJarArchive(const os::ReadOnlyFile& file);

// Why a check failed, for a progress line ("第3个条目的CRC校验值不符").
std::wstring DescribeJarFault(const JarCheck& check);

}  // namespace upgrade

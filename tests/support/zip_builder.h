#pragma once
// Builds ZIP archives in memory for the archive check's tests: stored and
// deflated entries (zlib), data descriptors, a comment, a ZIP64 extra field.

#include <cstddef>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = false;
  bool descriptor = false;  // sizes and CRC after the data (general flag bit 3)
};

struct ZipOptions {
  std::string comment;
  bool zip64Extra = false;  // a ZIP64 extended-information field on the first entry
};

struct BuiltZip {
  std::string bytes;
  std::vector<std::size_t> dataOffsets;  // where each entry's (compressed) data starts
  std::size_t directoryOffset = 0;
};

BuiltZip BuildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options = {});

// A small JAR-like archive (manifest, classes deflated, a stored resource) of
// about `size` bytes, pseudo-random so that it does not compress away.
std::string SampleJar(std::size_t size, unsigned seed);

}  // namespace testing_support

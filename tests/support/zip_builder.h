#pragma once
// Builds ZIP archives in memory for the archive check's tests: stored and
// deflated entries (zlib), data descriptors, a comment, ZIP64 records, data
// before the archive.

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
  // Every size and offset in ZIP64 fields (the 32-bit ones at their maximum),
  // and a ZIP64 end record with its locator. Without it the end record's
  // counts are the number of entries modulo 65,536, as a writer that knows no
  // ZIP64 leaves them.
  bool zip64 = false;
  // Bytes before the archive (a launcher stub). Its offsets count from the
  // archive's first entry, as after `cat stub app.jar`, unless `stubInOffsets`
  // (as after `zip -A`).
  std::string stub;
  bool stubInOffsets = false;
};

struct BuiltZip {
  std::string bytes;
  // Positions in `bytes`: where each entry's (compressed) data starts, and the
  // central directory.
  std::vector<std::size_t> dataOffsets;
  std::size_t directoryOffset = 0;
};

BuiltZip BuildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options = {});

// A small JAR-like archive (manifest, classes deflated, a stored resource) of
// about `size` bytes, pseudo-random so that it does not compress away.
std::string SampleJar(std::size_t size, unsigned seed);
// Its parts: `size` pseudo-random bytes, and at least `size` bytes of source
// text that compresses as classes do.
std::string SampleNoise(std::size_t size, unsigned seed);
std::string SampleClasses(std::size_t size, unsigned seed);

}  // namespace testing_support

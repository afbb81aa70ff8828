// Portable test helper: ZIP archives written by hand, deflated by zlib.
#include "support/zip_builder.h"

#include <zlib.h>

#include <cstdint>

namespace testing_support {
namespace {

void Put16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, unsigned long value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}

void Put64(std::string& out, std::uint64_t value) {
  Put32(out, value & 0xFFFFFFFF);
  Put32(out, value >> 32);
}

constexpr unsigned long kMax32 = 0xFFFFFFFF;

std::string Deflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

}  // namespace

BuiltZip BuildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options) {
  BuiltZip zip;
  zip.bytes = options.stub;
  // Offsets as the archive records them.
  const std::size_t base = options.stubInOffsets ? 0 : options.stub.size();
  std::string directory;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ZipEntry& entry = entries[i];
    const std::string stored = entry.deflate ? Deflate(entry.data) : entry.data;
    const unsigned long crc =
        crc32(0L, reinterpret_cast<const Bytef*>(entry.data.data()), entry.data.size());
    const unsigned flags = entry.descriptor ? 0x0008 : 0;
    const unsigned method = entry.deflate ? 8 : 0;
    const std::size_t localOffset = zip.bytes.size() - base;
    std::string localExtra;
    std::string centralExtra;
    if (options.zip64) {
      Put16(localExtra, 0x0001);
      Put16(localExtra, 16);
      Put64(localExtra, entry.descriptor ? 0 : entry.data.size());
      Put64(localExtra, entry.descriptor ? 0 : stored.size());
      Put16(centralExtra, 0x0001);
      Put16(centralExtra, 24);
      Put64(centralExtra, entry.data.size());
      Put64(centralExtra, stored.size());
      Put64(centralExtra, localOffset);
    } else if (options.zip64Extra && i == 0) {
      Put16(localExtra, 0x0001);
      Put16(localExtra, 16);
      Put32(localExtra, entry.data.size());
      Put32(localExtra, 0);
      Put32(localExtra, stored.size());
      Put32(localExtra, 0);
      centralExtra = localExtra;
    }
    const bool wide = options.zip64;
    std::string& out = zip.bytes;
    Put32(out, 0x04034b50);
    Put16(out, wide ? 45 : 20);
    Put16(out, flags);
    Put16(out, method);
    Put32(out, 0);  // time and date
    Put32(out, entry.descriptor ? 0 : crc);
    Put32(out, entry.descriptor ? 0 : wide ? kMax32 : stored.size());
    Put32(out, entry.descriptor ? 0 : wide ? kMax32 : entry.data.size());
    Put16(out, entry.name.size());
    Put16(out, localExtra.size());
    out += entry.name + localExtra;
    zip.dataOffsets.push_back(out.size());
    out += stored;
    if (entry.descriptor) {
      Put32(out, 0x08074b50);
      Put32(out, crc);
      if (wide) {
        Put64(out, stored.size());
        Put64(out, entry.data.size());
      } else {
        Put32(out, stored.size());
        Put32(out, entry.data.size());
      }
    }
    Put32(directory, 0x02014b50);
    Put16(directory, wide ? 45 : 20);
    Put16(directory, wide ? 45 : 20);
    Put16(directory, flags);
    Put16(directory, method);
    Put32(directory, 0);
    Put32(directory, crc);
    Put32(directory, wide ? kMax32 : stored.size());
    Put32(directory, wide ? kMax32 : entry.data.size());
    Put16(directory, entry.name.size());
    Put16(directory, centralExtra.size());
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, wide ? kMax32 : localOffset);
    directory += entry.name + centralExtra;
  }
  zip.directoryOffset = zip.bytes.size();
  const std::size_t directoryAt = zip.directoryOffset - base;
  zip.bytes += directory;
  if (options.zip64) {
    const std::size_t recordAt = zip.bytes.size() - base;
    Put32(zip.bytes, 0x06064b50);
    Put64(zip.bytes, 44);
    Put16(zip.bytes, 45);
    Put16(zip.bytes, 45);
    Put32(zip.bytes, 0);
    Put32(zip.bytes, 0);
    Put64(zip.bytes, entries.size());
    Put64(zip.bytes, entries.size());
    Put64(zip.bytes, directory.size());
    Put64(zip.bytes, directoryAt);
    Put32(zip.bytes, 0x07064b50);
    Put32(zip.bytes, 0);
    Put64(zip.bytes, recordAt);
    Put32(zip.bytes, 1);
  }
  Put32(zip.bytes, 0x06054b50);
  Put16(zip.bytes, 0);
  Put16(zip.bytes, 0);
  Put16(zip.bytes, options.zip64 ? 0xFFFF : entries.size() & 0xFFFF);
  Put16(zip.bytes, options.zip64 ? 0xFFFF : entries.size() & 0xFFFF);
  Put32(zip.bytes, options.zip64 ? kMax32 : directory.size());
  Put32(zip.bytes, options.zip64 ? kMax32 : directoryAt);
  Put16(zip.bytes, options.comment.size());
  zip.bytes += options.comment;
  return zip;
}

std::string SampleNoise(std::size_t size, unsigned seed) {
  std::string noise;
  std::uint64_t state = seed * 2654435761ull + 1;
  while (noise.size() < size) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    noise += static_cast<char>(state >> 33);
  }
  return noise;
}

std::string SampleClasses(std::size_t size, unsigned seed) {
  std::string classes;
  for (std::size_t i = 0; classes.size() < size; ++i) {
    classes +=
        "class Relay" + std::to_string(i) + " { int v = " + std::to_string(seed * i) + "; }\n";
  }
  return classes;
}

std::string SampleJar(std::size_t size, unsigned seed) {
  return BuildZip({{"META-INF/MANIFEST.MF",
                    "Manifest-Version: 1.0\nBuild: " + std::to_string(seed) + "\n", true},
                   {"com/example/Relay.class", SampleClasses(size / 4, seed), true, true},
                   {"static/blob.bin", SampleNoise(size, seed)}})
      .bytes;
}

}  // namespace testing_support

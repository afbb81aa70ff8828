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
  std::string directory;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ZipEntry& entry = entries[i];
    const std::string stored = entry.deflate ? Deflate(entry.data) : entry.data;
    const unsigned long crc =
        crc32(0L, reinterpret_cast<const Bytef*>(entry.data.data()), entry.data.size());
    const unsigned flags = entry.descriptor ? 0x0008 : 0;
    const unsigned method = entry.deflate ? 8 : 0;
    std::string extra;
    if (options.zip64Extra && i == 0) {
      Put16(extra, 0x0001);
      Put16(extra, 16);
      Put32(extra, entry.data.size());
      Put32(extra, 0);
      Put32(extra, stored.size());
      Put32(extra, 0);
    }
    const std::size_t localOffset = zip.bytes.size();
    std::string& out = zip.bytes;
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, flags);
    Put16(out, method);
    Put32(out, 0);  // time and date
    Put32(out, entry.descriptor ? 0 : crc);
    Put32(out, entry.descriptor ? 0 : stored.size());
    Put32(out, entry.descriptor ? 0 : entry.data.size());
    Put16(out, entry.name.size());
    Put16(out, extra.size());
    out += entry.name + extra;
    zip.dataOffsets.push_back(out.size());
    out += stored;
    if (entry.descriptor) {
      Put32(out, 0x08074b50);
      Put32(out, crc);
      Put32(out, stored.size());
      Put32(out, entry.data.size());
    }
    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, flags);
    Put16(directory, method);
    Put32(directory, 0);
    Put32(directory, crc);
    Put32(directory, stored.size());
    Put32(directory, entry.data.size());
    Put16(directory, entry.name.size());
    Put16(directory, extra.size());
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, localOffset);
    directory += entry.name + extra;
  }
  zip.directoryOffset = zip.bytes.size();
  zip.bytes += directory;
  Put32(zip.bytes, 0x06054b50);
  Put16(zip.bytes, 0);
  Put16(zip.bytes, 0);
  Put16(zip.bytes, entries.size());
  Put16(zip.bytes, entries.size());
  Put32(zip.bytes, directory.size());
  Put32(zip.bytes, zip.directoryOffset);
  Put16(zip.bytes, options.comment.size());
  zip.bytes += options.comment;
  return zip;
}

std::string SampleJar(std::size_t size, unsigned seed) {
  std::string noise;
  std::uint64_t state = seed * 2654435761ull + 1;
  while (noise.size() < size) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    noise += static_cast<char>(state >> 33);
  }
  std::string classes;
  for (std::size_t i = 0; classes.size() < size / 4; ++i) {
    classes +=
        "class Relay" + std::to_string(i) + " { int v = " + std::to_string(seed * i) + "; }\n";
  }
  return BuildZip({{"META-INF/MANIFEST.MF",
                    "Manifest-Version: 1.0\nBuild: " + std::to_string(seed) + "\n", true},
                   {"com/example/Relay.class", classes, true, true},
                   {"static/blob.bin", noise}})
      .bytes;
}

}  // namespace testing_support

#include "upgrade/jar_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

#include "os/files.h"

namespace upgrade {

namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kChunk = 64 * 1024;

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kZip64ExtraId = 0x0001;

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

JarCheck Fault(JarFault fault, std::uint32_t entry = 0) {
  return JarCheck{fault, entry};
}

// Exactly `size` bytes at `offset`, or false.
bool ReadExactly(const os::ReadOnlyFile& file, std::int64_t offset, unsigned char* data,
                 std::size_t size) {
  while (size > 0) {
    std::int64_t got = file.ReadAt(offset, reinterpret_cast<char*>(data), size);
    if (got <= 0) return false;
    offset += got;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

struct EndRecord {
  std::int64_t offset = 0;
  std::uint32_t entries = 0;
  std::uint32_t directorySize = 0;
  std::uint32_t directoryOffset = 0;
};

// The end record is the last thing in the file, followed only by its own
// comment: search the tail for a record whose comment ends exactly at the end.
JarCheck FindEndRecord(const os::ReadOnlyFile& file, std::int64_t length, EndRecord& end) {
  if (length < static_cast<std::int64_t>(kEndRecordSize)) return Fault(JarFault::NoEndRecord);
  const std::size_t tailSize =
      static_cast<std::size_t>(std::min<std::int64_t>(length, kEndRecordSize + kMaxCommentSize));
  std::vector<unsigned char> tail(tailSize);
  const std::int64_t tailStart = length - static_cast<std::int64_t>(tailSize);
  if (!ReadExactly(file, tailStart, tail.data(), tailSize)) return Fault(JarFault::Unreadable);
  for (std::size_t at = tailSize - kEndRecordSize + 1; at-- > 0;) {
    const unsigned char* record = tail.data() + at;
    if (Le32(record) != kEndSignature) continue;
    if (at + kEndRecordSize + Le16(record + 20) != tailSize) continue;
    end.offset = tailStart + static_cast<std::int64_t>(at);
    const std::uint16_t disk = Le16(record + 4);
    const std::uint16_t directoryDisk = Le16(record + 6);
    const std::uint16_t entriesHere = Le16(record + 8);
    const std::uint16_t entries = Le16(record + 10);
    end.directorySize = Le32(record + 12);
    end.directoryOffset = Le32(record + 16);
    if (entries == 0xFFFF || entriesHere == 0xFFFF || end.directorySize == 0xFFFFFFFF ||
        end.directoryOffset == 0xFFFFFFFF || disk == 0xFFFF || directoryDisk == 0xFFFF) {
      return Fault(JarFault::Zip64);
    }
    if (at >= kZip64LocatorSize && Le32(record - kZip64LocatorSize) == kZip64LocatorSignature) {
      return Fault(JarFault::Zip64);
    }
    if (disk != 0 || directoryDisk != 0 || entriesHere != entries) {
      return Fault(JarFault::MultiDisk);
    }
    end.entries = entries;
    return {};
  }
  return Fault(JarFault::NoEndRecord);
}

struct Entry {
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t size = 0;
  std::uint32_t localOffset = 0;
  std::string name;
};

bool HasZip64Extra(const unsigned char* extra, std::size_t size) {
  while (size >= 4) {
    const std::uint16_t id = Le16(extra);
    const std::size_t length = Le16(extra + 2);
    if (id == kZip64ExtraId) return true;
    if (length + 4 > size) return false;
    extra += 4 + length;
    size -= 4 + length;
  }
  return false;
}

// Inflates (or, stored, reads) one entry's data, bounded by its declared size.
JarCheck CheckData(const os::ReadOnlyFile& file, std::int64_t dataStart, const Entry& entry,
                   std::uint32_t number) {
  std::vector<unsigned char> input(kChunk);
  std::vector<unsigned char> output(entry.method == kMethodDeflated ? kChunk : 0);
  z_stream stream{};
  const bool deflated = entry.method == kMethodDeflated;
  if (deflated && inflateInit2(&stream, -MAX_WBITS) != Z_OK)
    return Fault(JarFault::Corrupt, number);
  struct InflateEnd {
    z_stream* stream;
    ~InflateEnd() {
      if (stream != nullptr) inflateEnd(stream);
    }
  } inflateEnd{deflated ? &stream : nullptr};

  uLong crc = crc32(0L, Z_NULL, 0);
  std::uint64_t produced = 0;
  std::uint64_t consumed = 0;
  bool streamEnded = !deflated;
  while (consumed < entry.compressedSize) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, entry.compressedSize - consumed));
    if (!ReadExactly(file, dataStart + static_cast<std::int64_t>(consumed), input.data(), want)) {
      return Fault(JarFault::Unreadable, number);
    }
    consumed += want;
    if (!deflated) {
      crc = crc32(crc, input.data(), static_cast<uInt>(want));
      produced += want;
      continue;
    }
    if (streamEnded) return Fault(JarFault::Corrupt, number);  // data after the stream's end
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(want);
    while (stream.avail_in > 0 && !streamEnded) {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END) return Fault(JarFault::Corrupt, number);
      const std::size_t out = output.size() - stream.avail_out;
      produced += out;
      // Stop a bomb as soon as it passes what it declared.
      if (produced > entry.size) return Fault(JarFault::SizeMismatch, number);
      crc = crc32(crc, output.data(), static_cast<uInt>(out));
      streamEnded = status == Z_STREAM_END;
    }
    if (streamEnded && stream.avail_in > 0) return Fault(JarFault::Corrupt, number);
  }
  if (deflated && !streamEnded) {
    // The input may hold the whole stream while output is still pending.
    for (;;) {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      const int status = inflate(&stream, Z_NO_FLUSH);
      const std::size_t out = output.size() - stream.avail_out;
      produced += out;
      if (produced > entry.size) return Fault(JarFault::SizeMismatch, number);
      crc = crc32(crc, output.data(), static_cast<uInt>(out));
      if (status == Z_STREAM_END) break;
      if (status != Z_OK || out == 0) return Fault(JarFault::Corrupt, number);
    }
  }
  if (produced != entry.size) return Fault(JarFault::SizeMismatch, number);
  if (crc != entry.crc) return Fault(JarFault::CrcMismatch, number);
  return {};
}

// The local header at the entry's offset must agree with the central
// directory; returns where the entry (data and descriptor) ends.
JarCheck CheckLocalHeader(const os::ReadOnlyFile& file, const Entry& entry, std::uint32_t number,
                          std::int64_t limit, std::int64_t& dataStart, std::int64_t& entryEnd) {
  std::array<unsigned char, kLocalHeaderSize> header{};
  const std::int64_t at = entry.localOffset;
  if (at + static_cast<std::int64_t>(kLocalHeaderSize) > limit ||
      !ReadExactly(file, at, header.data(), header.size()) ||
      Le32(header.data()) != kLocalSignature) {
    return Fault(JarFault::LocalHeader, number);
  }
  const std::uint16_t flags = Le16(header.data() + 6);
  const std::uint16_t method = Le16(header.data() + 8);
  const std::size_t nameLength = Le16(header.data() + 26);
  const std::size_t extraLength = Le16(header.data() + 28);
  if (method != entry.method || (flags & kFlagDescriptor) != (entry.flags & kFlagDescriptor) ||
      nameLength != entry.name.size()) {
    return Fault(JarFault::LocalHeader, number);
  }
  if ((flags & kFlagDescriptor) == 0 &&
      (Le32(header.data() + 14) != entry.crc || Le32(header.data() + 18) != entry.compressedSize ||
       Le32(header.data() + 22) != entry.size)) {
    return Fault(JarFault::LocalHeader, number);
  }
  dataStart = at + static_cast<std::int64_t>(kLocalHeaderSize + nameLength + extraLength);
  if (dataStart > limit) return Fault(JarFault::LocalHeader, number);
  std::vector<unsigned char> variable(nameLength + extraLength);
  if (!ReadExactly(file, at + static_cast<std::int64_t>(kLocalHeaderSize), variable.data(),
                   variable.size()) ||
      !std::equal(entry.name.begin(), entry.name.end(), variable.begin())) {
    return Fault(JarFault::LocalHeader, number);
  }
  if (HasZip64Extra(variable.data() + nameLength, extraLength))
    return Fault(JarFault::Zip64, number);
  entryEnd = dataStart + entry.compressedSize;
  if (entryEnd > limit) return Fault(JarFault::LocalHeader, number);
  if ((flags & kFlagDescriptor) != 0) {
    // crc, sizes, optionally behind a signature; they must repeat the directory's.
    std::array<unsigned char, 16> descriptor{};
    const std::size_t available =
        static_cast<std::size_t>(std::min<std::int64_t>(16, limit - entryEnd));
    if (available < 12 || !ReadExactly(file, entryEnd, descriptor.data(), available)) {
      return Fault(JarFault::LocalHeader, number);
    }
    std::size_t skip = 0;
    if (available == 16 && Le32(descriptor.data()) == kDescriptorSignature) skip = 4;
    const unsigned char* fields = descriptor.data() + skip;
    if (Le32(fields) != entry.crc || Le32(fields + 4) != entry.compressedSize ||
        Le32(fields + 8) != entry.size) {
      return Fault(JarFault::LocalHeader, number);
    }
    entryEnd += static_cast<std::int64_t>(12 + skip);
  }
  return {};
}

}  // namespace

JarCheck CheckJarArchive(const std::wstring& path) {
  os::ReadOnlyFile file;
  if (!file.Open(path)) return Fault(JarFault::Unreadable);
  const std::int64_t length = file.Size();
  if (length < 0) return Fault(JarFault::Unreadable);

  EndRecord end;
  if (JarCheck found = FindEndRecord(file, length, end); !found) return found;
  if (end.entries == 0) return Fault(JarFault::CentralDirectory);
  // The directory ends where the end record begins: nothing hidden between.
  if (static_cast<std::int64_t>(end.directoryOffset) + end.directorySize != end.offset) {
    return Fault(JarFault::CentralDirectory);
  }
  if (end.directorySize > kMaxCentralDirectoryBytes) return Fault(JarFault::TooLarge);

  std::vector<unsigned char> directory(end.directorySize);
  if (!ReadExactly(file, end.directoryOffset, directory.data(), directory.size())) {
    return Fault(JarFault::Unreadable);
  }

  // Entries must lie one after the other from the file's first byte up to the
  // directory, in directory order: no prefix, no gap, no overlap, no entry
  // that the directory does not list.
  std::uint64_t declaredTotal = 0;
  std::int64_t expectedOffset = 0;
  std::size_t at = 0;
  for (std::uint32_t number = 1; number <= end.entries; ++number) {
    if (at + kCentralHeaderSize > directory.size())
      return Fault(JarFault::CentralDirectory, number);
    const unsigned char* header = directory.data() + at;
    if (Le32(header) != kCentralSignature) return Fault(JarFault::CentralDirectory, number);
    Entry entry;
    entry.flags = Le16(header + 8);
    entry.method = Le16(header + 10);
    entry.crc = Le32(header + 16);
    entry.compressedSize = Le32(header + 20);
    entry.size = Le32(header + 24);
    const std::size_t nameLength = Le16(header + 28);
    const std::size_t extraLength = Le16(header + 30);
    const std::size_t commentLength = Le16(header + 32);
    const std::uint16_t disk = Le16(header + 34);
    entry.localOffset = Le32(header + 42);
    const std::size_t recordSize = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (at + recordSize > directory.size()) return Fault(JarFault::CentralDirectory, number);
    entry.name.assign(reinterpret_cast<const char*>(header + kCentralHeaderSize), nameLength);
    if (entry.compressedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF ||
        entry.localOffset == 0xFFFFFFFF || disk == 0xFFFF ||
        HasZip64Extra(header + kCentralHeaderSize + nameLength, extraLength)) {
      return Fault(JarFault::Zip64, number);
    }
    if (disk != 0) return Fault(JarFault::MultiDisk, number);
    if ((entry.flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0 ||
        (entry.method != kMethodStored && entry.method != kMethodDeflated)) {
      return Fault(JarFault::Unsupported, number);
    }
    if (entry.method == kMethodStored && entry.compressedSize != entry.size) {
      return Fault(JarFault::SizeMismatch, number);
    }
    declaredTotal += entry.size;
    if (declaredTotal > kMaxJarUncompressedBytes) return Fault(JarFault::TooLarge, number);
    if (entry.localOffset != expectedOffset) return Fault(JarFault::LocalHeader, number);

    std::int64_t dataStart = 0;
    std::int64_t entryEnd = 0;
    if (JarCheck local =
            CheckLocalHeader(file, entry, number, end.directoryOffset, dataStart, entryEnd);
        !local) {
      return local;
    }
    if (JarCheck data = CheckData(file, dataStart, entry, number); !data) return data;
    expectedOffset = entryEnd;
    at += recordSize;
  }
  if (at != directory.size() || expectedOffset != end.directoryOffset) {
    return Fault(JarFault::CentralDirectory);
  }
  return {};
}

std::wstring DescribeJarFault(const JarCheck& check) {
  std::wstring entry = L"第" + std::to_wstring(check.entry) + L"个条目";
  switch (check.fault) {
    case JarFault::None:
      return L"完整";
    case JarFault::Unreadable:
      return L"无法读取文件";
    case JarFault::NoEndRecord:
      return L"文件末尾没有ZIP目录结束记录，文件可能不完整";
    case JarFault::Zip64:
      return L"不接受ZIP64格式";
    case JarFault::MultiDisk:
      return L"不接受分卷ZIP文件";
    case JarFault::CentralDirectory:
      return L"ZIP中央目录不一致";
    case JarFault::TooLarge:
      return L"条目过多或解压后过大";
    case JarFault::LocalHeader:
      return entry + L"的本地文件头与中央目录不符";
    case JarFault::Unsupported:
      return entry + L"已加密或压缩方式不受支持";
    case JarFault::Corrupt:
      return entry + L"的压缩数据已损坏";
    case JarFault::SizeMismatch:
      return entry + L"解压后的大小不符";
    case JarFault::CrcMismatch:
      return entry + L"的CRC校验值不符";
  }
  return {};
}

}  // namespace upgrade

#include "upgrade/jar_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "os/files.h"
#include "unicode/utf8.h"

namespace upgrade {

namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kChunk = 64 * 1024;

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
// A 32-bit field at its maximum leaves the value to the ZIP64 records.
constexpr std::uint16_t kMax16 = 0xFFFF;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t Le64(const unsigned char* p) {
  return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

JarCheck Fault(JarFault fault, std::uint32_t entry = 0) {
  return JarCheck{fault, entry};
}

// Exactly `size` bytes at `offset`, or false.
bool ReadExactly(const os::ReadOnlyFile& file, std::int64_t offset, unsigned char* data,
                 std::size_t size) {
  return file.ReadFullAt(offset, reinterpret_cast<char*>(data), size) ==
         static_cast<std::int64_t>(size);
}

struct EndRecord {
  std::int64_t directoryEnd = 0;  // where the directory really ends
  std::uint64_t entries = 0;
  std::uint64_t directorySize = 0;
  std::uint64_t directoryOffset = 0;  // as declared, relative to the archive's start
  // A 16-bit count with no ZIP64 record behind it: writers that know no ZIP64
  // store the number of entries modulo 65,536.
  bool countMayWrap = false;
};

// A ZIP64 end record, announced by its locator right before the end record:
// the record itself where the locator says (as Java reads it, from the file's
// start) and ending at the locator, so that nothing lies hidden between the
// directory and the file's end.
JarCheck ReadZip64End(const os::ReadOnlyFile& file, std::int64_t endAt, const unsigned char* record,
                      EndRecord& end) {
  const std::int64_t locatorAt = endAt - static_cast<std::int64_t>(kZip64LocatorSize);
  std::array<unsigned char, kZip64LocatorSize> locator{};
  if (locatorAt < 0 || !ReadExactly(file, locatorAt, locator.data(), locator.size())) {
    return Fault(JarFault::Zip64);
  }
  if (Le32(locator.data() + 4) != 0 || Le32(locator.data() + 16) > 1) {
    return Fault(JarFault::MultiDisk);
  }
  const std::uint64_t recordAt = Le64(locator.data() + 8);
  std::array<unsigned char, kZip64EndSize> end64{};
  if (recordAt > static_cast<std::uint64_t>(locatorAt) ||
      static_cast<std::uint64_t>(locatorAt) - recordAt < kZip64EndSize ||
      !ReadExactly(file, static_cast<std::int64_t>(recordAt), end64.data(), end64.size()) ||
      Le32(end64.data()) != kZip64EndSignature ||
      Le64(end64.data() + 4) != static_cast<std::uint64_t>(locatorAt) - recordAt - 12) {
    return Fault(JarFault::Zip64);
  }
  if (Le32(end64.data() + 16) != 0 || Le32(end64.data() + 20) != 0 ||
      Le64(end64.data() + 24) != Le64(end64.data() + 32)) {
    return Fault(JarFault::MultiDisk);
  }
  end.entries = Le64(end64.data() + 32);
  end.directorySize = Le64(end64.data() + 40);
  end.directoryOffset = Le64(end64.data() + 48);
  // Values the end record did not leave to the ZIP64 record must repeat it.
  const std::uint16_t entries = Le16(record + 10);
  const std::uint32_t size = Le32(record + 12);
  const std::uint32_t offset = Le32(record + 16);
  if ((entries != kMax16 && entries != end.entries) ||
      (size != kMax32 && size != end.directorySize) ||
      (offset != kMax32 && offset != end.directoryOffset)) {
    return Fault(JarFault::Zip64);
  }
  end.directoryEnd = static_cast<std::int64_t>(recordAt);
  return {};
}

bool HasZip64Locator(const os::ReadOnlyFile& file, std::int64_t endAt) {
  std::array<unsigned char, 4> signature{};
  return endAt >= static_cast<std::int64_t>(kZip64LocatorSize) &&
         ReadExactly(file, endAt - static_cast<std::int64_t>(kZip64LocatorSize), signature.data(),
                     signature.size()) &&
         Le32(signature.data()) == kZip64LocatorSignature;
}

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
    const std::int64_t endAt = tailStart + static_cast<std::int64_t>(at);
    const std::uint16_t disk = Le16(record + 4);
    const std::uint16_t directoryDisk = Le16(record + 6);
    const std::uint16_t entriesHere = Le16(record + 8);
    const std::uint16_t entries = Le16(record + 10);
    const std::uint32_t size = Le32(record + 12);
    const std::uint32_t offset = Le32(record + 16);
    if ((disk != 0 && disk != kMax16) || (directoryDisk != 0 && directoryDisk != kMax16)) {
      return Fault(JarFault::MultiDisk);
    }
    const bool deferred = entries == kMax16 || entriesHere == kMax16 || size == kMax32 ||
                          offset == kMax32 || disk == kMax16 || directoryDisk == kMax16;
    if (deferred && HasZip64Locator(file, endAt)) return ReadZip64End(file, endAt, record, end);
    // Without a locator the values are meant as they stand: a writer that
    // stores exactly 65,535 entries without ZIP64 leaves 0xFFFF, and Java
    // takes it so. A maximal size or offset then fails the bounds below.
    if (disk != 0 || directoryDisk != 0 || entriesHere != entries) {
      return Fault(JarFault::MultiDisk);
    }
    end.directoryEnd = endAt;
    end.entries = entries;
    end.directorySize = size;
    end.directoryOffset = offset;
    end.countMayWrap = true;
    return {};
  }
  return Fault(JarFault::NoEndRecord);
}

struct Entry {
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint64_t localOffset = 0;
  std::string_view name;  // within the central directory's buffer
};

// The data of the ZIP64 extended-information field, if there is one.
std::optional<std::pair<const unsigned char*, std::size_t>> FindZip64Extra(
    const unsigned char* extra, std::size_t size) {
  while (size >= 4) {
    const std::uint16_t id = Le16(extra);
    const std::size_t length = Le16(extra + 2);
    if (length + 4 > size) return std::nullopt;
    if (id == kZip64ExtraId) return std::make_pair(extra + 4, length);
    extra += 4 + length;
    size -= 4 + length;
  }
  return std::nullopt;
}

// Whether every block of an extra field lies within it, as Java demands of the
// central directory's (a few bytes too short for a block header may follow).
bool ExtraBlocksFit(const unsigned char* extra, std::size_t size) {
  while (size >= 4) {
    const std::size_t length = Le16(extra + 2);
    if (length + 4 > size) return false;
    extra += 4 + length;
    size -= 4 + length;
  }
  return true;
}

// Replaces, in the order given, each value left at its 32-bit maximum by the
// next 64-bit value of the ZIP64 field; `all` takes one value for every field
// (a local header's field holds both sizes). False when the field is needed
// and missing or short.
bool ApplyZip64Extra(const unsigned char* extra, std::size_t size,
                     std::initializer_list<std::uint64_t*> fields, bool all) {
  const bool needed = std::any_of(fields.begin(), fields.end(),
                                  [](const std::uint64_t* field) { return *field == kMax32; });
  if (!needed) return true;
  const auto found = FindZip64Extra(extra, size);
  if (!found) return false;
  auto [data, length] = *found;
  for (std::uint64_t* field : fields) {
    if (!all && *field != kMax32) continue;
    if (length < 8) return false;
    *field = Le64(data);
    data += 8;
    length -= 8;
  }
  return true;
}

// Reads the entries of one archive in turn. The buffers and the decompressor
// are made once and shared by every entry, so that an archive of many small
// entries costs no fresh memory (and no page faults) for each. Small reads
// come from a window read ahead: an entry's header, name, data and descriptor
// and the next entry's header lie one after the other, and a read from the
// file costs far more than copying a few bytes.
class EntryReader {
 public:
  explicit EntryReader(const os::ReadOnlyFile& file)
      : m_file(file),
        m_input(std::make_unique_for_overwrite<unsigned char[]>(kChunk)),
        m_output(std::make_unique_for_overwrite<unsigned char[]>(kChunk)),
        m_window(std::make_unique_for_overwrite<unsigned char[]>(kChunk)) {}
  ~EntryReader() {
    if (m_inflating) inflateEnd(&m_stream);
  }
  EntryReader(const EntryReader&) = delete;
  EntryReader& operator=(const EntryReader&) = delete;

  // The local header at `at` must agree with the central directory; returns
  // where the entry (data and descriptor) ends.
  JarCheck CheckLocalHeader(const Entry& entry, std::uint32_t number, std::int64_t at,
                            std::int64_t limit, std::int64_t& entryEnd);

 private:
  // Exactly `size` (at most kChunk) bytes at `offset`, valid until the next
  // call; nullptr when the file holds fewer.
  const unsigned char* Fetch(std::int64_t offset, std::size_t size);
  // Exactly `size` bytes at `offset` copied to `data`, or false.
  bool Read(std::int64_t offset, unsigned char* data, std::size_t size);
  // Inflates (or, stored, reads) one entry's data, bounded by its declared size.
  JarCheck CheckData(std::int64_t dataStart, const Entry& entry, std::uint32_t number);
  // The decompressor at the start of a new raw deflate stream.
  bool StartInflating();

  const os::ReadOnlyFile& m_file;
  std::unique_ptr<unsigned char[]> m_input;
  std::unique_ptr<unsigned char[]> m_output;
  std::unique_ptr<unsigned char[]> m_window;
  std::int64_t m_windowStart = 0;
  std::size_t m_windowSize = 0;
  std::vector<unsigned char> m_variable;  // a local header's name and extra field
  z_stream m_stream{};
  bool m_inflating = false;
};

const unsigned char* EntryReader::Fetch(std::int64_t offset, std::size_t size) {
  const auto inWindow = [&] {
    return offset >= m_windowStart &&
           static_cast<std::uint64_t>(offset - m_windowStart) + size <= m_windowSize;
  };
  if (!inWindow()) {
    // A large read goes straight to its buffer; a small one refills the window.
    if (size > kChunk / 2) {
      return ReadExactly(m_file, offset, m_input.get(), size) ? m_input.get() : nullptr;
    }
    const std::int64_t got =
        m_file.ReadFullAt(offset, reinterpret_cast<char*>(m_window.get()), kChunk);
    m_windowStart = offset;
    m_windowSize = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (!inWindow()) return nullptr;
  }
  return m_window.get() + (offset - m_windowStart);
}

bool EntryReader::Read(std::int64_t offset, unsigned char* data, std::size_t size) {
  if (size > kChunk) return ReadExactly(m_file, offset, data, size);
  const unsigned char* bytes = Fetch(offset, size);
  if (bytes == nullptr) return false;
  std::copy(bytes, bytes + size, data);
  return true;
}

bool EntryReader::StartInflating() {
  if (m_inflating) return inflateReset(&m_stream) == Z_OK;
  m_stream = z_stream{};
  m_inflating = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
  return m_inflating;
}

JarCheck EntryReader::CheckData(std::int64_t dataStart, const Entry& entry, std::uint32_t number) {
  const bool deflated = entry.method == kMethodDeflated;
  if (deflated && !StartInflating()) return Fault(JarFault::Corrupt, number);
  unsigned char* const output = m_output.get();

  uLong crc = crc32(0L, Z_NULL, 0);
  std::uint64_t produced = 0;
  std::uint64_t consumed = 0;
  bool streamEnded = !deflated;
  while (consumed < entry.compressedSize) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, entry.compressedSize - consumed));
    const unsigned char* const input = Fetch(dataStart + static_cast<std::int64_t>(consumed), want);
    if (input == nullptr) return Fault(JarFault::Unreadable, number);
    consumed += want;
    if (!deflated) {
      crc = crc32(crc, input, static_cast<uInt>(want));
      produced += want;
      continue;
    }
    if (streamEnded) return Fault(JarFault::Corrupt, number);  // data after the stream's end
    m_stream.next_in = const_cast<unsigned char*>(input);      // zlib does not write through it
    m_stream.avail_in = static_cast<uInt>(want);
    while (m_stream.avail_in > 0 && !streamEnded) {
      m_stream.next_out = output;
      m_stream.avail_out = static_cast<uInt>(kChunk);
      const int status = inflate(&m_stream, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END) return Fault(JarFault::Corrupt, number);
      const std::size_t out = kChunk - m_stream.avail_out;
      produced += out;
      // Stop a bomb as soon as it passes what it declared.
      if (produced > entry.size) return Fault(JarFault::SizeMismatch, number);
      crc = crc32(crc, output, static_cast<uInt>(out));
      streamEnded = status == Z_STREAM_END;
    }
    if (streamEnded && m_stream.avail_in > 0) return Fault(JarFault::Corrupt, number);
  }
  if (deflated && !streamEnded) {
    // The input may hold the whole stream while output is still pending.
    for (;;) {
      m_stream.next_out = output;
      m_stream.avail_out = static_cast<uInt>(kChunk);
      const int status = inflate(&m_stream, Z_NO_FLUSH);
      const std::size_t out = kChunk - m_stream.avail_out;
      produced += out;
      if (produced > entry.size) return Fault(JarFault::SizeMismatch, number);
      crc = crc32(crc, output, static_cast<uInt>(out));
      if (status == Z_STREAM_END) break;
      if (status != Z_OK || out == 0) return Fault(JarFault::Corrupt, number);
    }
  }
  if (produced != entry.size) return Fault(JarFault::SizeMismatch, number);
  if (crc != entry.crc) return Fault(JarFault::CrcMismatch, number);
  return {};
}

JarCheck EntryReader::CheckLocalHeader(const Entry& entry, std::uint32_t number, std::int64_t at,
                                       std::int64_t limit, std::int64_t& entryEnd) {
  std::array<unsigned char, kLocalHeaderSize> header{};
  if (at + static_cast<std::int64_t>(kLocalHeaderSize) > limit ||
      !Read(at, header.data(), header.size()) || Le32(header.data()) != kLocalSignature) {
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
  const std::int64_t dataStart =
      at + static_cast<std::int64_t>(kLocalHeaderSize + nameLength + extraLength);
  if (dataStart > limit) return Fault(JarFault::LocalHeader, number);
  if (m_variable.size() < nameLength + extraLength) m_variable.resize(nameLength + extraLength);
  const unsigned char* const variable = m_variable.data();
  // Names are bytes: compared as such, whatever their encoding.
  if (!Read(at + static_cast<std::int64_t>(kLocalHeaderSize), m_variable.data(),
            nameLength + extraLength) ||
      std::string_view(reinterpret_cast<const char*>(variable), nameLength) != entry.name) {
    return Fault(JarFault::LocalHeader, number);
  }
  const unsigned char* extra = variable + nameLength;
  if ((flags & kFlagDescriptor) == 0) {
    std::uint64_t size = Le32(header.data() + 22);
    std::uint64_t compressedSize = Le32(header.data() + 18);
    if (Le32(header.data() + 14) != entry.crc ||
        !ApplyZip64Extra(extra, extraLength, {&size, &compressedSize}, true) ||
        size != entry.size || compressedSize != entry.compressedSize) {
      return Fault(JarFault::LocalHeader, number);
    }
  }
  if (entry.compressedSize > static_cast<std::uint64_t>(limit - dataStart)) {
    return Fault(JarFault::LocalHeader, number);
  }
  entryEnd = dataStart + static_cast<std::int64_t>(entry.compressedSize);
  if ((flags & kFlagDescriptor) != 0) {
    // crc and sizes, optionally behind a signature, repeating the directory's;
    // the sizes take eight bytes each where the header carries a ZIP64 field.
    const bool wide = FindZip64Extra(extra, extraLength).has_value();
    const std::size_t fieldsSize = wide ? 20 : 12;
    std::array<unsigned char, 24> descriptor{};
    const std::size_t available =
        static_cast<std::size_t>(std::min<std::int64_t>(fieldsSize + 4, limit - entryEnd));
    if (available < fieldsSize || !Read(entryEnd, descriptor.data(), available)) {
      return Fault(JarFault::LocalHeader, number);
    }
    std::size_t skip = 0;
    if (available == fieldsSize + 4 && Le32(descriptor.data()) == kDescriptorSignature) skip = 4;
    const unsigned char* fields = descriptor.data() + skip;
    const std::uint64_t compressedSize = wide ? Le64(fields + 4) : Le32(fields + 4);
    const std::uint64_t size = wide ? Le64(fields + 12) : Le32(fields + 8);
    if (Le32(fields) != entry.crc || compressedSize != entry.compressedSize || size != entry.size) {
      return Fault(JarFault::LocalHeader, number);
    }
    entryEnd += static_cast<std::int64_t>(fieldsSize + skip);
  }
  return CheckData(dataStart, entry, number);
}

// A launcher stub is a script or a program, never the start of an archive: one
// that is an archive's start is an archive cut right after one stored in it
// (a fat JAR's library), which Java would read as that library alone.
bool StartsAsArchive(const os::ReadOnlyFile& file, std::int64_t stubSize) {
  std::array<unsigned char, 4> start{};
  return stubSize >= static_cast<std::int64_t>(start.size()) &&
         ReadExactly(file, 0, start.data(), start.size()) && Le32(start.data()) == kLocalSignature;
}

// One central directory record at `header` (within `available` bytes) read
// into `entry`; `recordSize` is the record's length.
JarCheck ReadCentralRecord(const unsigned char* header, std::size_t available, std::uint32_t number,
                           Entry& entry, std::size_t& recordSize) {
  if (available < kCentralHeaderSize || Le32(header) != kCentralSignature) {
    return Fault(JarFault::CentralDirectory, number);
  }
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
  recordSize = kCentralHeaderSize + nameLength + extraLength + commentLength;
  if (recordSize > available) return Fault(JarFault::CentralDirectory, number);
  entry.name =
      std::string_view(reinterpret_cast<const char*>(header + kCentralHeaderSize), nameLength);
  // Java opens no archive with a name that is not UTF-8, whatever its flags say.
  if (!unicode::IsUtf8(entry.name, unicode::Utf8Rules::Shortest)) {
    return Fault(JarFault::EntryName, number);
  }
  if (!ExtraBlocksFit(header + kCentralHeaderSize + nameLength, extraLength)) {
    return Fault(JarFault::CentralDirectory, number);
  }
  if (!ApplyZip64Extra(header + kCentralHeaderSize + nameLength, extraLength,
                       {&entry.size, &entry.compressedSize, &entry.localOffset}, false)) {
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
  return {};
}

}  // namespace

JarCheck CheckJarArchive(const os::ReadOnlyFile& file) {
  const std::int64_t length = file.Size();
  if (length < 0) return Fault(JarFault::Unreadable);

  EndRecord end;
  if (JarCheck found = FindEndRecord(file, length, end); !found) return found;
  // An archive with no entry is no JAR, whatever Java makes of it.
  if (end.directorySize == 0) return Fault(JarFault::CentralDirectory);
  // The directory ends where the end record begins: nothing hidden between.
  // Whatever lies before the position it declares is a prefix, as Java sees it.
  if (end.directorySize > static_cast<std::uint64_t>(end.directoryEnd)) {
    return Fault(JarFault::CentralDirectory);
  }
  if (end.directorySize > kMaxCentralDirectoryBytes) return Fault(JarFault::TooLarge);
  if (end.entries > end.directorySize / kCentralHeaderSize) {
    return Fault(JarFault::CentralDirectory);
  }
  const std::int64_t directoryStart =
      end.directoryEnd - static_cast<std::int64_t>(end.directorySize);
  if (end.directoryOffset > static_cast<std::uint64_t>(directoryStart)) {
    return Fault(JarFault::CentralDirectory);
  }
  const std::int64_t prefix = directoryStart - static_cast<std::int64_t>(end.directoryOffset);

  std::vector<unsigned char> directory(static_cast<std::size_t>(end.directorySize));
  if (!ReadExactly(file, directoryStart, directory.data(), directory.size())) {
    return Fault(JarFault::Unreadable);
  }

  // Entries lie one after the other up to the directory, in directory order:
  // no gap, no overlap, no entry that the directory does not list. Only what
  // precedes the first one (a launcher stub) is not read. The records are
  // counted by walking the directory to its end: each is at least a header
  // long, so the directory's bound is also the bound on their number.
  EntryReader reader(file);
  std::uint64_t declaredTotal = 0;
  std::int64_t expectedOffset = -1;
  std::size_t at = 0;
  std::uint32_t number = 0;
  while (at < directory.size()) {
    ++number;
    if (number > end.entries && !end.countMayWrap) return Fault(JarFault::CentralDirectory);
    Entry entry;
    std::size_t recordSize = 0;
    if (JarCheck record = ReadCentralRecord(directory.data() + at, directory.size() - at, number,
                                            entry, recordSize);
        !record) {
      return record;
    }
    if (entry.size > kMaxJarUncompressedBytes - declaredTotal) {
      return Fault(JarFault::TooLarge, number);
    }
    declaredTotal += entry.size;
    if (entry.localOffset >= end.directoryOffset) return Fault(JarFault::LocalHeader, number);
    const std::int64_t localAt = prefix + static_cast<std::int64_t>(entry.localOffset);
    if (expectedOffset >= 0 && localAt != expectedOffset) {
      return Fault(JarFault::LocalHeader, number);
    }
    if (expectedOffset < 0 && StartsAsArchive(file, localAt)) return Fault(JarFault::Embedded);
    if (JarCheck local =
            reader.CheckLocalHeader(entry, number, localAt, directoryStart, expectedOffset);
        !local) {
      return local;
    }
    at += recordSize;
  }
  // The count must be the records' own, or, from a writer that knows no
  // ZIP64, what is left of it after wrapping at 65,536.
  const bool wrapped = end.countMayWrap && number > kMax16 && (number & kMax16) == end.entries;
  if ((number != end.entries && !wrapped) || expectedOffset != directoryStart) {
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
      return L"ZIP64记录缺失或不一致";
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
    case JarFault::Embedded:
      return L"找到的ZIP归档嵌在另一个归档之中，文件可能不完整";
    case JarFault::EntryName:
      return entry + L"的名称不是有效的UTF-8编码";
  }
  return {};
}

}  // namespace upgrade

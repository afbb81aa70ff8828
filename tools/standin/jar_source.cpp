#include "jar_source.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace standin {

namespace {

std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

constexpr char kZipMagic[4] = {'P', 'K', 3, 4};
constexpr char kEntryName[] = "payload.bin";
constexpr std::int64_t kNameSize = sizeof kEntryName - 1;
constexpr std::int64_t kHeadSize = 30 + kNameSize;
constexpr std::int64_t kTailSize = 46 + kNameSize + 22;
// Fixed so that every download of the same size is the same file.
constexpr std::uint16_t kDosTime = 0x6000;  // 12:00:00
constexpr std::uint16_t kDosDate = 0x5921;  // 2024-09-01

// Revision r's sequence starts far from every other's.
std::uint64_t Word(std::int64_t position, std::int64_t revision) {
  return SplitMix64(static_cast<std::uint64_t>(position / 8) +
                    static_cast<std::uint64_t>(revision - 1) * 0x100000000000ull);
}

// `count` pseudo-random bytes from position `at` of the revision's endless
// sequence; one mix per eight bytes keeps large downloads cheap.
void FillPayload(std::int64_t at, std::int64_t revision, char* buffer, std::size_t count) {
  std::size_t i = 0;
  while (i < count) {
    const std::int64_t position = at + static_cast<std::int64_t>(i);
    std::uint64_t word = Word(position, revision);
    if (position % 8 != 0 || count - i < 8) {
      buffer[i++] = static_cast<char>(word >> ((position % 8) * 8));
      continue;
    }
    for (int b = 0; b < 8; ++b) buffer[i++] = static_cast<char>(word >> (b * 8));
  }
}

// Computed once per size and process: a 1 GiB payload takes a second.
std::uint32_t PayloadCrc(std::int64_t size, std::int64_t revision) {
  static std::mutex mutex;
  static std::map<std::pair<std::int64_t, std::int64_t>, std::uint32_t> known;
  std::lock_guard<std::mutex> lock(mutex);
  const auto key = std::make_pair(size, revision);
  if (auto found = known.find(key); found != known.end()) return found->second;
  std::vector<char> chunk(1 << 20);
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::int64_t at = 0; at < size;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(chunk.size(), size - at));
    FillPayload(at, revision, chunk.data(), n);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(n));
    at += static_cast<std::int64_t>(n);
  }
  return known[key] = static_cast<std::uint32_t>(crc);
}

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Version, flags, method (stored), time, date, CRC, both sizes.
void PutEntryFields(std::string& out, std::uint32_t crc, std::uint32_t size) {
  Put16(out, 10);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, kDosTime);
  Put16(out, kDosDate);
  Put32(out, crc);
  Put32(out, size);
  Put32(out, size);
}

}  // namespace

std::shared_ptr<JarSource> JarSource::Open(const std::string& path, std::int64_t generatedSize,
                                           std::int64_t revision, std::string& error) {
  auto source = std::make_shared<JarSource>();
  source->m_revision = revision;
  if (path.empty()) {
    source->m_size = generatedSize;
    const std::int64_t payload = generatedSize - kHeadSize - kTailSize;
    // Beyond 4 GiB a stored entry needs ZIP64, which the program refuses.
    if (payload < 0 || payload > 0xFFFFFFFEll) return source;
    const auto size = static_cast<std::uint32_t>(payload);
    const std::uint32_t crc = PayloadCrc(payload, revision);
    source->m_head = std::string(kZipMagic, 4);
    PutEntryFields(source->m_head, crc, size);
    Put16(source->m_head, kNameSize);
    Put16(source->m_head, 0);
    source->m_head += kEntryName;
    std::string& tail = source->m_tail;
    Put32(tail, 0x02014b50);
    Put16(tail, 20);  // made by
    PutEntryFields(tail, crc, size);
    Put16(tail, kNameSize);
    for (int i = 0; i < 4; ++i) Put16(tail, 0);  // extra, comment, disk, internal attributes
    Put32(tail, 0);                              // external attributes
    Put32(tail, 0);                              // local header offset
    tail += kEntryName;
    Put32(tail, 0x06054b50);
    Put16(tail, 0);
    Put16(tail, 0);
    Put16(tail, 1);
    Put16(tail, 1);
    Put32(tail, 46 + kNameSize);
    Put32(tail, static_cast<std::uint32_t>(kHeadSize + payload));
    Put16(tail, 0);
    return source;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    source->m_modifiedNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  }
  source->m_path = path;
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read " + path + ": " + ec.message();
    return nullptr;
  }
  source->m_file.open(path, std::ios::binary);
  if (!source->m_file) {
    error = "cannot open " + path;
    return nullptr;
  }
  source->m_generated = false;
  source->m_size = static_cast<std::int64_t>(size);
  return source;
}

std::string JarSource::ETag() const {
  const std::string identity = m_generated ? "generated " + std::to_string(m_revision)
                                           : m_path + " " + std::to_string(m_modifiedNs);
  char tag[48];
  std::snprintf(tag, sizeof tag, "\"%zx-%llx\"", std::hash<std::string>()(identity),
                static_cast<unsigned long long>(m_size));
  return tag;
}

std::string JarSource::LastModified() const {
  const std::time_t when = m_generated ? std::time_t{1767225600} + m_revision  // 2026-01-01
                                       : static_cast<std::time_t>(m_modifiedNs / 1000000000);
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

void JarSource::Generate(std::int64_t offset, char* buffer, std::size_t count) const {
  if (m_head.empty()) {
    // Too small (or too large) for an archive: the signature, then noise.
    for (std::size_t i = 0; i < count && offset + static_cast<std::int64_t>(i) < 4; ++i) {
      buffer[i] = kZipMagic[offset + static_cast<std::int64_t>(i)];
    }
    const std::int64_t skip = offset < 4 ? std::min<std::int64_t>(4 - offset, count) : 0;
    FillPayload(offset + skip, m_revision, buffer + skip, count - static_cast<std::size_t>(skip));
    return;
  }
  const std::int64_t payloadEnd = m_size - static_cast<std::int64_t>(m_tail.size());
  const std::int64_t end = offset + static_cast<std::int64_t>(count);
  for (std::int64_t at = offset; at < end;) {
    char* out = buffer + (at - offset);
    if (at < kHeadSize) {
      std::int64_t n = std::min(end, kHeadSize) - at;
      m_head.copy(out, static_cast<std::size_t>(n), static_cast<std::size_t>(at));
      at += n;
    } else if (at < payloadEnd) {
      std::int64_t n = std::min(end, payloadEnd) - at;
      FillPayload(at - kHeadSize, m_revision, out, static_cast<std::size_t>(n));
      at += n;
    } else {
      std::int64_t n = end - at;
      m_tail.copy(out, static_cast<std::size_t>(n), static_cast<std::size_t>(at - payloadEnd));
      at += n;
    }
  }
}

bool JarSource::Read(std::int64_t offset, char* buffer, std::size_t count) {
  if (offset < 0 || offset + static_cast<std::int64_t>(count) > m_size) return false;
  if (m_generated) {
    Generate(offset, buffer, count);
    return true;
  }
  m_file.clear();
  m_file.seekg(offset);
  m_file.read(buffer, static_cast<std::streamsize>(count));
  return m_file.gcount() == static_cast<std::streamsize>(count);
}

}  // namespace standin

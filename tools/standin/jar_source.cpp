#include "jar_source.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>

namespace standin {

namespace {

std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

constexpr char kZipMagic[4] = {'P', 'K', 3, 4};

// Revision r's sequence starts far from every other's.
std::uint64_t Word(std::int64_t offset, std::int64_t revision) {
  return SplitMix64(static_cast<std::uint64_t>(offset / 8) +
                    static_cast<std::uint64_t>(revision - 1) * 0x100000000000ull);
}

}  // namespace

std::shared_ptr<JarSource> JarSource::Open(const std::string& path, std::int64_t generatedSize,
                                           std::int64_t revision, std::string& error) {
  auto source = std::make_shared<JarSource>();
  source->m_revision = revision;
  if (path.empty()) {
    source->m_size = generatedSize;
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

unsigned char JarSource::GeneratedByte(std::int64_t offset, std::int64_t revision) {
  if (offset < 4) return static_cast<unsigned char>(kZipMagic[offset]);
  std::uint64_t word = Word(offset, revision);
  return static_cast<unsigned char>(word >> ((offset % 8) * 8));
}

bool JarSource::Read(std::int64_t offset, char* buffer, std::size_t count) {
  if (offset < 0 || offset + static_cast<std::int64_t>(count) > m_size) return false;
  if (m_generated) {
    // One mix per eight bytes keeps large downloads cheap.
    std::size_t i = 0;
    while (i < count) {
      const std::int64_t at = offset + static_cast<std::int64_t>(i);
      if (at < 4 || at % 8 != 0 || count - i < 8) {
        buffer[i++] = static_cast<char>(GeneratedByte(at, m_revision));
        continue;
      }
      std::uint64_t word = Word(at, m_revision);
      for (int b = 0; b < 8; ++b) buffer[i++] = static_cast<char>(word >> (b * 8));
    }
    return true;
  }
  m_file.clear();
  m_file.seekg(offset);
  m_file.read(buffer, static_cast<std::streamsize>(count));
  return m_file.gcount() == static_cast<std::streamsize>(count);
}

}  // namespace standin

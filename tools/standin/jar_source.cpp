#include "jar_source.h"

#include <filesystem>

namespace standin {

namespace {

std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

constexpr char kZipMagic[4] = {'P', 'K', 3, 4};

}  // namespace

std::shared_ptr<JarSource> JarSource::Open(const std::string& path, std::int64_t generatedSize,
                                           std::string& error) {
  auto source = std::make_shared<JarSource>();
  if (path.empty()) {
    source->m_size = generatedSize;
    return source;
  }
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

unsigned char JarSource::GeneratedByte(std::int64_t offset) {
  if (offset < 4) return static_cast<unsigned char>(kZipMagic[offset]);
  std::uint64_t word = SplitMix64(static_cast<std::uint64_t>(offset / 8));
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
        buffer[i++] = static_cast<char>(GeneratedByte(at));
        continue;
      }
      std::uint64_t word = SplitMix64(static_cast<std::uint64_t>(at / 8));
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

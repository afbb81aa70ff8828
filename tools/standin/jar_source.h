#pragma once
// The bytes served as the JAR: a file read in chunks, or generated content
// (starting "PK\x03\x04", then a pseudo-random sequence fixed by its
// revision) of any size. Each version has an entity tag and a date of its own.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace standin {

class JarSource {
 public:
  // A reader of its own for one response; empty with `error` filled when the file is unusable.
  static std::shared_ptr<JarSource> Open(const std::string& path, std::int64_t generatedSize,
                                         std::int64_t revision, std::string& error);

  std::int64_t Size() const { return m_size; }
  // A strong entity tag, quoted: another file, size, date or revision gives
  // another tag.
  std::string ETag() const;
  // The HTTP date of the file's last change; for generated content a fixed
  // date plus the revision in seconds, so it does not change with the size.
  std::string LastModified() const;
  bool Read(std::int64_t offset, char* buffer, std::size_t count);

  // The generated content's byte at `offset`, for checking what arrived.
  static unsigned char GeneratedByte(std::int64_t offset, std::int64_t revision = 1);

 private:
  std::int64_t m_size = 0;
  std::int64_t m_revision = 1;
  std::string m_path;
  std::int64_t m_modifiedNs = 0;  // of the file, since the epoch
  bool m_generated = true;
  std::ifstream m_file;
};

}  // namespace standin

#pragma once
// The bytes served as the JAR: a file read in chunks, or a generated JAR of any
// size from 120 bytes up: one stored entry of pseudo-random bytes, whole and
// with its CRC-32, so that it passes the program's archive check. Smaller
// sizes give the ZIP signature and pseudo-random bytes only. The bytes are
// fixed by the revision; each version has an entity tag and a date of its own.

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

 private:
  void Generate(std::int64_t offset, char* buffer, std::size_t count) const;

  std::int64_t m_size = 0;
  std::int64_t m_revision = 1;
  std::string m_path;
  std::int64_t m_modifiedNs = 0;  // of the file, since the epoch
  bool m_generated = true;
  std::string m_head;  // the local header and entry name, before the payload
  std::string m_tail;  // the central directory and end record, after it
  std::ifstream m_file;
};

}  // namespace standin

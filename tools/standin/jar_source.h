#pragma once
// The bytes served as the JAR: a file read in chunks, or a generated JAR of any
// size from 120 bytes up: one stored entry of pseudo-random bytes, whole and
// with its CRC-32, so that it passes the program's archive check. Smaller
// sizes give the ZIP signature and pseudo-random bytes only.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace standin {

class JarSource {
 public:
  // A reader of its own for one response; empty with `error` filled when the file is unusable.
  static std::shared_ptr<JarSource> Open(const std::string& path, std::int64_t generatedSize,
                                         std::string& error);

  std::int64_t Size() const { return m_size; }
  bool Read(std::int64_t offset, char* buffer, std::size_t count);

 private:
  void Generate(std::int64_t offset, char* buffer, std::size_t count) const;

  std::int64_t m_size = 0;
  bool m_generated = true;
  std::string m_head;  // the local header and entry name, before the payload
  std::string m_tail;  // the central directory and end record, after it
  std::ifstream m_file;
};

}  // namespace standin

#pragma once
// The bytes served as the JAR: a file read in chunks, or generated content
// (starting "PK\x03\x04", then a fixed pseudo-random sequence) of any size.

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

  // The generated content's byte at `offset`, for checking what arrived.
  static unsigned char GeneratedByte(std::int64_t offset);

 private:
  std::int64_t m_size = 0;
  bool m_generated = true;
  std::ifstream m_file;
};

}  // namespace standin

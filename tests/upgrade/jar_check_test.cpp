// The whole-archive check against archives built here: whole ones pass, and
// every kind of cut, splice, damage, refused format and bomb is named.
#include "upgrade/jar_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "os/files.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "support/zip_builder.h"

namespace {

using testing_support::BuildZip;
using testing_support::BuiltZip;
using testing_support::ZipEntry;
using upgrade::JarFault;

std::string Noise(std::size_t size, unsigned seed) {
  std::string bytes;
  unsigned state = seed;
  while (bytes.size() < size) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>(state >> 16);
  }
  return bytes;
}

// A manifest, a deflated class in a streamed (descriptor) entry, a stored blob.
BuiltZip Jar(const testing_support::ZipOptions& options = {}) {
  std::string classes;
  for (int i = 0; i < 3000; ++i) classes += "class C" + std::to_string(i) + " {}\n";
  return BuildZip({{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n", true},
                   {"com/example/C.class", classes, true, true},
                   {"static/blob.bin", Noise(40000, 7)}},
                  options);
}

testing_support::ZipOptions Options(bool zip64, const std::string& stub = "",
                                    bool stubInOffsets = false) {
  testing_support::ZipOptions options;
  options.zip64 = zip64;
  options.stub = stub;
  options.stubInOffsets = stubInOffsets;
  return options;
}

// What a self-running JAR carries before the archive.
const std::string kStub = "#!/bin/sh\nexec java -jar \"$0\" \"$@\"\nexit 1\n" + Noise(3000, 11);

std::string Flip(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
  return bytes;
}

void Patch(std::string& bytes, std::size_t at, unsigned long long value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Patch32(std::string& bytes, std::size_t at, unsigned value) {
  Patch(bytes, at, value, 4);
}

// `bytes` with `size` bytes at `at` replaced by `value`.
std::string Patched(std::string bytes, std::size_t at, unsigned long long value, int size) {
  Patch(bytes, at, value, size);
  return bytes;
}

JarFault Check(const std::string& bytes) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "stock-relay.jar", bytes);
  os::ReadOnlyFile file;
  if (!file.Open(testing_support::WindowsFormPath(dir / "stock-relay.jar"))) {
    ADD_FAILURE() << "the archive written cannot be opened";
    return JarFault::Unreadable;
  }
  return upgrade::CheckJarArchive(file).fault;
}

TEST(JarCheck, WholeArchivesPassAndEveryOtherFileIsNamed) {
  const BuiltZip jar = Jar();
  const std::string& whole = jar.bytes;
  const std::size_t storedData = jar.dataOffsets[2];
  const std::size_t deflatedData = jar.dataOffsets[1];
  struct Case {
    const char* what;
    std::string bytes;
    JarFault expected;
  } cases[] = {
      {"whole", whole, JarFault::None},
      {"larger than the end record's search", testing_support::SampleJar(200000, 3),
       JarFault::None},
      {"with a comment",
       BuildZip({{"a.txt", "hello", true}},
                [] {
                  testing_support::ZipOptions options;
                  options.comment = "built here; PK\x05\x06 inside";
                  return options;
                }())
           .bytes,
       JarFault::None},
      {"one byte short", whole.substr(0, whole.size() - 1), JarFault::NoEndRecord},
      {"cut in the directory", whole.substr(0, jar.directoryOffset + 10), JarFault::NoEndRecord},
      {"cut in the stored data", whole.substr(0, storedData + 1000), JarFault::NoEndRecord},
      {"cut after the first header", whole.substr(0, 40), JarFault::NoEndRecord},
      {"only the signature", whole.substr(0, 4), JarFault::NoEndRecord},
      {"empty", "", JarFault::NoEndRecord},
      {"its start cut off", whole.substr(100), JarFault::CentralDirectory},
      {"its start cut off at the blob", whole.substr(storedData), JarFault::CentralDirectory},
      {"a byte flipped in a stored entry", Flip(whole, storedData + 20000), JarFault::CrcMismatch},
      {"the data descriptor differs", Flip(whole, jar.dataOffsets[2] - 50), JarFault::LocalHeader},
      {"an error page", "<html><body>502 Bad Gateway</body></html>", JarFault::NoEndRecord},
      // Whatever precedes a whole archive is a prefix Java does not read,
      // but not when it is the start of another archive.
      {"two archives spliced", whole.substr(0, storedData) + whole, JarFault::Embedded},
      {"something before the archive", "MZ" + whole, JarFault::None},
      {"bytes after the archive", whole + "trailing", JarFault::NoEndRecord},
      {"an unneeded ZIP64 extra field",
       BuildZip({{"a.txt", "hello"}},
                [] {
                  testing_support::ZipOptions options;
                  options.zip64Extra = true;
                  return options;
                }())
           .bytes,
       JarFault::None},
      {"0xFFFF entries counted, one listed, no ZIP64 records",
       [] {
         std::string b = BuildZip({{"a.txt", "hello"}}).bytes;
         b[b.size() - 12] = b[b.size() - 11] = b[b.size() - 14] = b[b.size() - 13] = '\xFF';
         return b;
       }(),
       JarFault::CentralDirectory},
      {"encrypted entry",
       [] {
         BuiltZip zip = BuildZip({{"a.txt", "hello"}});
         zip.bytes[6] = 1;                        // local flags
         zip.bytes[zip.directoryOffset + 8] = 1;  // directory flags
         return zip.bytes;
       }(),
       JarFault::Unsupported},
      {"no entries", BuildZip({}).bytes, JarFault::CentralDirectory},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(Check(c.bytes)), static_cast<int>(c.expected)) << c.what;
  }

  // Wherever a deflated entry is damaged, it is not installed.
  for (std::size_t at = deflatedData; at < deflatedData + 400; at += 37) {
    EXPECT_NE(Check(Flip(whole, at)), JarFault::None) << "flipped at " << at;
  }
  // Cut anywhere, it is never whole.
  for (std::size_t cut = 0; cut < whole.size(); cut += whole.size() / 23 + 1) {
    EXPECT_EQ(Check(whole.substr(0, cut)), JarFault::NoEndRecord) << "cut at " << cut;
  }
}

TEST(JarCheck, ArchivesBuiltToExhaustTheMachineAreRefusedWithoutInflatingThem) {
  // A megabyte of zeros that claims to be a kilobyte: stopped once past it.
  BuiltZip bomb = BuildZip({{"zeros", std::string(1 << 20, '\0'), true}});
  const std::size_t directoryEntry = bomb.directoryOffset;
  Patch32(bomb.bytes, 22, 1024);                   // local uncompressed size
  Patch32(bomb.bytes, directoryEntry + 24, 1024);  // directory uncompressed size
  EXPECT_EQ(Check(bomb.bytes), JarFault::SizeMismatch);

  // Declares more than the total allowed: refused before a byte is inflated.
  BuiltZip huge = BuildZip({{"a", "x", true}, {"b", "y", true}});
  Patch32(huge.bytes, huge.directoryOffset + 24, 0xF0000000u);
  EXPECT_EQ(Check(huge.bytes), JarFault::TooLarge);

  // Two directory entries for one local entry (overlapping files).
  BuiltZip twice = BuildZip({{"a", "same bytes"}, {"b", "same bytes"}});
  const std::size_t second = twice.directoryOffset + 46 + 1;
  Patch32(twice.bytes, second + 42, 0);
  EXPECT_EQ(Check(twice.bytes), JarFault::LocalHeader);
}

// Java finds an archive from its end: a launcher stub before it is no fault,
// and ZIP64 records are read where they are announced. Nothing else loosens.
TEST(JarCheck, StubsAndZip64AreReadAsJavaReadsThem) {
  const BuiltZip stubbed = Jar(Options(false, kStub));
  const BuiltZip counted = Jar(Options(false, kStub, true));
  const BuiltZip zip64 = Jar(Options(true));
  const std::string& wide = zip64.bytes;
  // The end record, its ZIP64 locator and the ZIP64 end record, from the end.
  const std::size_t end = wide.size() - 22;
  const std::size_t locator = end - 20;
  const std::size_t record = locator - 56;
  // The first directory entry's ZIP64 field follows its 20-byte name.
  const std::size_t firstExtra = zip64.directoryOffset + 46 + 20;
  struct Case {
    const char* what;
    std::string bytes;
    JarFault expected;
  } cases[] = {
      {"a launcher stub before a whole archive", stubbed.bytes, JarFault::None},
      {"a stub counted in the archive's offsets", counted.bytes, JarFault::None},
      {"an archive cut right after one stored in it",
       [] {
         const BuiltZip inner = Jar();
         const BuiltZip outer = BuildZip({{"BOOT-INF/lib/inner.jar", inner.bytes}});
         return outer.bytes.substr(0, outer.dataOffsets[0] + inner.bytes.size());
       }(),
       JarFault::Embedded},
      {"a stub before an archive cut in its directory",
       stubbed.bytes.substr(0, stubbed.directoryOffset + 10), JarFault::NoEndRecord},
      {"a stub before an archive one byte short", stubbed.bytes.substr(0, stubbed.bytes.size() - 1),
       JarFault::NoEndRecord},
      {"a stub with a damaged entry", Flip(stubbed.bytes, stubbed.dataOffsets[2] + 20000),
       JarFault::CrcMismatch},
      {"a stub before an archive whose start is cut off", kStub + Jar().bytes.substr(100),
       JarFault::LocalHeader},
      {"a stub whose directory claims more than the file holds",
       Patched(stubbed.bytes, stubbed.bytes.size() - 6, stubbed.bytes.size(), 4),
       JarFault::CentralDirectory},
      {"ZIP64 throughout", wide, JarFault::None},
      {"ZIP64 after a stub counted in its offsets", Jar(Options(true, kStub, true)).bytes,
       JarFault::None},
      // Java reads the locator's offset from the file's start, and fails here.
      {"ZIP64 after a stub its locator does not count", Jar(Options(true, kStub)).bytes,
       JarFault::Zip64},
      {"ZIP64 with a damaged entry", Flip(wide, zip64.dataOffsets[2] + 20000),
       JarFault::CrcMismatch},
      {"ZIP64 locator pointing before its record", Patched(wide, locator + 8, record - 1, 8),
       JarFault::Zip64},
      {"ZIP64 locator pointing into the directory", Patched(wide, locator + 8, record - 56, 8),
       JarFault::Zip64},
      // Then the end record's maximal values stand as they are.
      {"ZIP64 locator missing", wide.substr(0, locator) + wide.substr(end),
       JarFault::CentralDirectory},
      {"end record disagreeing with its ZIP64 record", Patched(wide, end + 10, 2, 2),
       JarFault::Zip64},
      {"ZIP64 record counting more entries than listed",
       Patched(Patched(wide, record + 24, 4, 8), record + 32, 4, 8), JarFault::CentralDirectory},
      {"ZIP64 record naming a second disk", Patched(wide, record + 16, 1, 4), JarFault::MultiDisk},
      {"ZIP64 sizes left to a field that is not there", Patched(wide, firstExtra, 0x9999, 2),
       JarFault::Zip64},
      {"ZIP64 field too short for what it must hold", Patched(wide, firstExtra + 2, 16, 2),
       JarFault::Zip64},
      // Java opens no archive whose directory has such a field.
      {"an extra block running past its field", Patched(wide, firstExtra + 2, 25, 2),
       JarFault::CentralDirectory},
      {"ZIP64 local sizes disagreeing", Patched(wide, 30 + 20 + 4, 5, 8), JarFault::LocalHeader},
      {"ZIP64 descriptor disagreeing", Flip(wide, zip64.dataOffsets[2] - 30 - 15 - 5),
       JarFault::LocalHeader},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(Check(c.bytes)), static_cast<int>(c.expected)) << c.what;
  }

  // Cut anywhere, a stubbed or ZIP64 archive is never whole either.
  for (const std::string* bytes : {&stubbed.bytes, &wide}) {
    for (std::size_t cut = 0; cut < bytes->size(); cut += bytes->size() / 19 + 1) {
      EXPECT_EQ(Check(bytes->substr(0, cut)), JarFault::NoEndRecord) << "cut at " << cut;
    }
  }
}

// Names are bytes that must be UTF-8 (Java opens nothing else); the entry
// count is what walking the directory finds, wrapped at 65,536 only where no
// ZIP64 record holds it.
TEST(JarCheck, NamesAreUtf8BytesAndCountsAreTheDirectorysOwn) {
  struct NameCase {
    const char* name;
    JarFault expected;
  } names[] = {
      {"templates/\xE6\x8A\xA5\xE8\xA1\xA8\xE6\xA8\xA1\xE6\x9D\xBF.txt", JarFault::None},
      {"i18n/\xE6\xB6\x88\xE6\x81\xAF.properties", JarFault::None},
      {"caf\xC3\xA9/na\xC3\xAFve-\xF0\x9F\x93\xA6.txt", JarFault::None},
      {"caf\xE9.txt", JarFault::EntryName},   // Latin-1
      {"\xE6\xB6.txt", JarFault::EntryName},  // cut short
      {"a\xC0\xAF"
       "b",
       JarFault::EntryName},                          // overlong "/"
      {"\xED\xA0\x80.txt", JarFault::EntryName},      // an encoded surrogate
      {"\xF4\x90\x80\x80.txt", JarFault::EntryName},  // above U+10FFFF
  };
  for (const NameCase& c : names) {
    EXPECT_EQ(Check(BuildZip({{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n", true},
                              {c.name, "data", true}})
                        .bytes),
              c.expected)
        << c.name;
  }
  // A local name that differs from the directory's in one byte above 0x7F.
  BuiltZip chinese = BuildZip({{"\xE6\x8A\xA5\xE8\xA1\xA8.txt", "data"}});
  EXPECT_EQ(Check(Flip(chinese.bytes, 30 + 1)), JarFault::LocalHeader);

  const auto many = [](std::size_t count, bool zip64 = false) {
    std::vector<ZipEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) entries.push_back({"e/" + std::to_string(i), "x"});
    return BuildZip(entries, Options(zip64)).bytes;
  };
  // The end record's two counts, from the file's end.
  const auto counted = [](std::string bytes, unsigned count) {
    Patch(bytes, bytes.size() - 14, count, 2);
    Patch(bytes, bytes.size() - 12, count, 2);
    return bytes;
  };
  const std::string wrapped = many(70001);
  const std::string three = many(3);
  struct CountCase {
    const char* what;
    std::string bytes;
    JarFault expected;
  } counts[] = {
      {"exactly 65,535 entries, 0xFFFF without ZIP64", many(65535), JarFault::None},
      {"65,536 entries counted as 0", many(65536), JarFault::None},
      {"70,001 entries counted as 4,465", wrapped, JarFault::None},
      {"70,001 entries in ZIP64 records", many(70001, true), JarFault::None},
      {"70,001 entries counted as 4,464", counted(wrapped, 4464), JarFault::CentralDirectory},
      {"3 entries counted as 2", counted(three, 2), JarFault::CentralDirectory},
      {"3 entries counted as 4", counted(three, 4), JarFault::CentralDirectory},
      {"3 entries counted as 0", counted(three, 0), JarFault::CentralDirectory},
  };
  for (const CountCase& c : counts) {
    EXPECT_EQ(static_cast<int>(Check(c.bytes)), static_cast<int>(c.expected)) << c.what;
  }
}

TEST(JarCheck, EveryFaultHasAReason) {
  for (int fault = static_cast<int>(JarFault::Unreadable);
       fault <= static_cast<int>(JarFault::EntryName); ++fault) {
    EXPECT_FALSE(upgrade::DescribeJarFault({static_cast<JarFault>(fault), 3}).empty()) << fault;
  }
  EXPECT_EQ(upgrade::DescribeJarFault({JarFault::CrcMismatch, 3}), L"第3个条目的CRC校验值不符");
  // A file that could not be opened has no size to read.
  EXPECT_EQ(upgrade::CheckJarArchive(os::ReadOnlyFile()).fault, JarFault::Unreadable);
}

}  // namespace

#pragma once
// A drive letter of the Wine prefix mapped to a fresh host directory for the
// test's scope (a link in the prefix's dosdevices), removed afterwards.

#include <filesystem>
#include <string>

namespace testing_support::win32 {

class PrefixDrive {
 public:
  explicit PrefixDrive(char letter);
  ~PrefixDrive();
  PrefixDrive(const PrefixDrive&) = delete;
  PrefixDrive& operator=(const PrefixDrive&) = delete;

  // Empty when the drive is there; otherwise why not.
  const std::string& Error() const { return m_error; }
  // The drive's root as the program sees it ("D:\").
  std::filesystem::path Root() const;

 private:
  char m_letter;
  std::string m_link;           // host path of the dosdevices entry
  std::filesystem::path m_dir;  // the directory behind it, under Z:
  std::string m_error;
};

// The root ("Q:\\") of the last drive letter from D: up that no volume answers
// to; empty when every one is taken.
std::wstring AbsentDriveRoot();

}  // namespace testing_support::win32

// Native: through the drive map the program itself uses.
#include "support/windows_form_path.h"

#include "os/posix/drive_map.h"

namespace testing_support {

std::wstring WindowsFormPath(const std::filesystem::path& hostPath) {
  return os::posix::ToWindowsPath(std::filesystem::absolute(hostPath).string());
}

}  // namespace testing_support

// Windows: host paths already are Windows paths.
#include "support/windows_form_path.h"

namespace testing_support {

std::wstring WindowsFormPath(const std::filesystem::path& hostPath) {
  return std::filesystem::absolute(hostPath).make_preferred().wstring();
}

}  // namespace testing_support

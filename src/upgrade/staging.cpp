#include "upgrade/staging.h"

#include "installation/layout.h"
#include "upgrade/file_install.h"

namespace upgrade {

std::wstring StagedName() {
  return TemporaryNameFor(installation::kJarFileName);
}

os::Error CreateStaged(const os::HeldFolder& app, os::StagedFile& staged) {
  os::ClearLastError();
  if (ClearLeftover(app, StagedName()) && staged.Create(app, StagedName())) return {};
  return os::LastErrorOr(L"无法创建文件");
}

}  // namespace upgrade

#include "upgrade/progress.h"

#include "os/console.h"

namespace upgrade {

void Say(const std::wstring& line) {
  os::WriteProgressLine(line + L"\n");
}

void SayCause(const std::wstring& cause) {
  if (!cause.empty()) Say(L"原因: " + cause);
}

}  // namespace upgrade

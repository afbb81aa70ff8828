#include "app/program_path.h"

#include "host/session.h"
#include "installation/layout.h"
#include "path/windows_path.h"

namespace app {

std::wstring AutostartProgramPath() {
  const std::wstring directory = installation::ProgramDirectory();
  if (directory.empty()) return {};
  return path::Join(directory, path::FileName(host::ModuleFileName()));
}

}  // namespace app

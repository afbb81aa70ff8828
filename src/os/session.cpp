// The parts of the session service both backends share.
#include "os/session.h"

#include "os/session_primitives.h"

namespace os {

namespace session {

std::optional<std::wstring> WholeProgramPath(const ProgramPathReading& reading) {
  // A cut path may end inside a folder's name and so name an ancestor: it is
  // no path at all rather than a wrong one.
  if (!reading.whole || reading.windowsPath.empty()) return std::nullopt;
  return reading.windowsPath;
}

}  // namespace session

std::optional<std::wstring> OwnProgramPath() {
  return session::WholeProgramPath(session::ReadProgramPath());
}

std::wstring AppTitle() {
  std::wstring name = session::ReadProgramPath().fileName;
  std::size_t dot = name.rfind(L'.');
  // A leading dot starts the name, not an extension.
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace os

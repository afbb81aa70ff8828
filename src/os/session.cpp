// The parts of the session service both backends share.
#include "os/session.h"

namespace os {

std::wstring AppTitle() {
  std::wstring name = ProgramFileName();
  std::size_t dot = name.rfind(L'.');
  // A leading dot starts the name, not an extension.
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace os

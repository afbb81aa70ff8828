// Windows: the C runtime's copy, which getenv reads, and the process's own,
// which a started child inherits.
#include <windows.h>

#include <cstdlib>

#include "support/scoped_env.h"
#include "unicode/utf8.h"

namespace testing_support {

void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
  // An empty value removes the variable from the runtime's copy.
  _putenv_s(name.c_str(), value ? value->c_str() : "");
  std::wstring wideName = unicode::DecodeUtf8Replacing(name, unicode::Utf8Rules::Shortest);
  if (value) {
    std::wstring wide = unicode::DecodeUtf8Replacing(*value, unicode::Utf8Rules::Shortest);
    ::SetEnvironmentVariableW(wideName.c_str(), wide.c_str());
  } else {
    ::SetEnvironmentVariableW(wideName.c_str(), nullptr);
  }
}

}  // namespace testing_support

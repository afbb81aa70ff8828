#pragma once
// Native backend only: the host's file names and environment are UTF-8, and the
// backend needs its own lenient conversion below the text layer.

#include <string>

namespace os::posix {

std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWideLenient(const std::string& utf8);

}  // namespace os::posix

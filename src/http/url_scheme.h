#pragma once
// The only schemes a transfer of ours may speak.

#include <string_view>

namespace comm::http {

// True when `url` begins with "http://" or "https://" (the scheme in any case).
bool IsHttpUrl(std::string_view url);
bool IsHttpsUrl(std::string_view url);

}  // namespace comm::http

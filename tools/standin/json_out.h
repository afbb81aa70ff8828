#pragma once
// Compact JSON text with UTF-8 kept as it is, the way the real services write it.

#include <json/value.h>

#include <string>

namespace standin {

std::string WriteJson(const Json::Value& value);

// An error page that is not JSON, as a misconfigured web server would send.
std::string HtmlErrorPage(int status, const std::string& title);

}  // namespace standin

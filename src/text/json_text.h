#pragma once
// The one rule by which any value read out of a JSON answer becomes text.

#include <json/value.h>

#include <string>

namespace text {

std::string JsonValueToText(const Json::Value& value);

}  // namespace text

#pragma once
// The one rule by which any value read out of a JSON answer becomes text.

#include <json/value.h>

#include <string>

std::string JsonValueToText(const Json::Value& value);

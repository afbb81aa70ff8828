#include "update/update_config.h"

#include "update/build_config.h"

const std::string_view UpdatePublicKey = build_config::kUpdatePublicKey;

os::Tunable<std::string> UpdateServerBaseUrl{build_config::kUpdateServerUrl};

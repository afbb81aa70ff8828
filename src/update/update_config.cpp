#include "update/update_config.h"

#include "update/build_config.h"
#include "update/tunables.h"

const std::string_view update::UpdatePublicKey = update::build_config::kUpdatePublicKey;

tunable::Tunable<std::string> update::tunables::serverBaseUrl{
    update::build_config::kUpdateServerUrl};
tunable::Tunable<std::string> update::tunables::jarSigningKey{update::build_config::kJarSigningKey};

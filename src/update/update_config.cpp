#include "update/update_config.h"

#include "platform_client/platform_url.h"
#include "update/build_config.h"
#include "update/update_settings.h"

const std::string_view update::UpdatePublicKey = update::build_config::kUpdatePublicKey;

update::UpdateSettings update::BuiltInUpdateSettings() {
  // Nothing built in names an authority: the system's store decides.
  return {build_config::kUpdateServerUrl,
          build_config::kJarSigningKey,
          platform_client::kBuiltInPlatformUrl,
          {}};
}
